#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

#include "rotationstore.h"
#include "songlist.h"

class QLineEdit;
class QTreeWidget;

namespace cantavo {

// What one singer sang (or everyone, with no name), newest first, searched as it is typed.
class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    HistoryDialog(const RotationStore& store, const QString& singer, QWidget* parent = nullptr);
    QLineEdit& search() { return *search_; }
    QTreeWidget& list() { return *list_; }

private:
    void fill();
    const RotationStore& store_;
    QString singer_;
    QLineEdit* search_;
    QTreeWidget* list_;
};

// Songs picked from the catalogue (the default song list), searched by title, author or file
// name as it is typed.
class CatalogueDialog : public QDialog {
    Q_OBJECT
public:
    // Matches shown at a time: enough to pick from, few enough to fill at every key.
    static constexpr int kShown = 500;
    CatalogueDialog(const QList<SongRow>& rows, const QString& singer, QWidget* parent = nullptr);
    QLineEdit& search() { return *search_; }
    QTreeWidget& list() { return *list_; }
    // The full paths of the songs selected.
    QStringList chosen() const;

private:
    void fill();
    const QList<SongRow>& rows_;
    QLineEdit* search_;
    QTreeWidget* list_;
};

}  // namespace cantavo
