#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>

#include <functional>

namespace cantavo {

class FilePanes;

// "Print": a text file (typically exported lyrics) printed in a chosen font and size.
class PrintDialog : public QDialog {
    Q_OBJECT
public:
    explicit PrintDialog(QWidget* parent = nullptr);

    // The printer's own dialog; false when cancelled. Tests print to a PDF file instead.
    std::function<bool(QPrinter&)> setupPrinter;
    // What the dialog says with the exclamation icon.
    std::function<void(const QString&)> showWarning;

    // Prints the chosen file; false when nothing was printed.
    bool PrintFile();
    void choose(const QString& path);
    const QString& printFilePath() const { return printFilePath_; }
    // The font the text is printed in, as the controls say now.
    QFont printFont() const;

    QComboBox* points;       // Combo1
    QListWidget* fonts;      // List1
    QPushButton* print;      // Command1
    FilePanes* panes;        // Drive1, Dir1, File1
    QPushButton* cancel;     // Command2
    QLabel* pointsLabel;     // Label1
    QCheckBox* chooseFont;   // Check3D1

    static constexpr int kCollapsedHeight = 4455 / 15;
    static constexpr int kExpandedHeight = 6285 / 15;

private:
    void setExpanded(bool on);
    QString printFilePath_;
};

}  // namespace cantavo
