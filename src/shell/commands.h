#pragma once

#include <QAction>
#include <QHash>
#include <QObject>
#include <QString>

namespace cantavo {

// Every command of the main window as one QAction, named as its menu item, and the one
// place that enables and disables them. A command whose feature is not built yet stays
// disabled, with the tooltip "Not available yet", whatever the program asks of it.
class Commands : public QObject {
    Q_OBJECT
public:
    explicit Commands(QObject* parent = nullptr);

    QAction* add(const QString& name, const QString& caption, const QKeySequence& shortcut = {}, bool startEnabled = true,
                 int helpContext = 0);
    QAction* operator[](const QString& name) const;
    bool has(const QString& name) const { return actions_.contains(name); }

    // Marks a command as built: from then on it follows setEnabled().
    void setAvailable(const QString& name, bool available = true);
    bool isAvailable(const QString& name) const { return available_.value(name, false); }
    void setEnabled(const QString& name, bool on);
    // What the program has asked for, built or not.
    bool wanted(const QString& name) const { return wanted_.value(name, false); }
    int helpContext(const QString& name) const { return help_.value(name, 0); }

private:
    void apply(const QString& name);
    QHash<QString, QAction*> actions_;
    QHash<QString, bool> wanted_;
    QHash<QString, bool> available_;
    QHash<QString, int> help_;
};

}  // namespace cantavo
