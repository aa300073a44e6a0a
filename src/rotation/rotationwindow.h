#pragma once

#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <functional>

#include "rotationstore.h"

class QLabel;
class QPushButton;

namespace cantavo {

// The singers in order, each with their queue. Dragging a singer or a song moves it; the
// store decides, and the list is read back from it.
class RotationTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit RotationTree(QWidget* parent = nullptr);
    // A singer (its place among singers) or a song (its place in the singer's queue) was
    // dropped at `place`.
    std::function<void(QTreeWidgetItem* moved, int place)> moved;
    // `item` dropped on `target` (null: below the last row).
    void dropOn(QTreeWidgetItem* item, QTreeWidgetItem* target);

protected:
    void dropEvent(QDropEvent* e) override;
};

// The rotation window: add a singer or songs, move, remove, mark away and back, sing next,
// and a singer's history. It reads the store again when another program (the command line)
// changed it.
class RotationWindow : public QWidget {
    Q_OBJECT
public:
    explicit RotationWindow(RotationStore& store, QWidget* parent = nullptr);

    // The dialogs, replaced by tests.
    std::function<QString()> askSingerName;
    std::function<QStringList()> askSongs;
    std::function<bool(const QString& title, const QString& text)> tell;

    // Seconds between "Sing next" and the song starting by itself; 0: it waits for Play.
    int startAfterSeconds() const { return startAfter_->value(); }
    void setStartAfterSeconds(int s) { startAfter_->setValue(s); }

    // Reads the rotation from the store again.
    void reload();
    // The singer selected (or whose song is selected), 0 when none.
    qint64 selectedSinger() const;
    RotationTree& tree() { return *tree_; }

    void addSinger();
    void addSongs();
    void removeSelected();
    void toggleAway();
    void showHistory();
    // "Now singing" / "Next" line under the list.
    void setAnnouncement(const QString& text);

signals:
    void singNext();
    void changedByHost();

private:
    void updateButtons();

    RotationStore& store_;
    RotationTree* tree_;
    QPushButton *addSinger_, *addSongs_, *remove_, *away_, *singNext_, *history_;
    QSpinBox* startAfter_;
    QLabel* announcement_;
    QTimer watch_;
};

}  // namespace cantavo
