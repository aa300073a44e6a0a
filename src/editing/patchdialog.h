#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace cantavo {

// "Change Patch": the General MIDI instrument that replaces one track's.
class PatchDialog : public QDialog {
    Q_OBJECT
public:
    explicit PatchDialog(QWidget* parent = nullptr);

    // Shows the track's current patch and selects its program (always a valid entry).
    void prepare(const QString& currentPatch, int program);

    QLabel* change;     // Label1(0)
    QLabel* with;       // Label1(1)
    QLabel* current;    // Label2
    QComboBox* combo;   // Combo1
    QPushButton* ok;    // Command1
    QPushButton* cancel;  // Command2

signals:
    // "&OK": the program and the entry's text.
    void chosen(int program, const QString& text);
};

}  // namespace cantavo
