#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

namespace cantavo {


// "Comment": a note for the compilation.
class CommentDialog : public QDialog {
    Q_OBJECT
public:
    explicit CommentDialog(QWidget* parent = nullptr);
    QLineEdit* text;       // Text1
    QPushButton* ok;       // Command2
    QPushButton* cancel;   // Command1
signals:
    void entry(const QString& line);  // "COMMENT: " and the text
};

// "Pause": a wait of whole seconds in the compilation.
class PauseDialog : public QDialog {
    Q_OBJECT
public:
    explicit PauseDialog(QWidget* parent = nullptr);
    QLineEdit* text;       // Text1, "3" at first
    QPushButton* up;       // Spin1
    QPushButton* down;
    QPushButton* ok;       // Command1
    QPushButton* cancel;   // Command2
signals:
    void entry(const QString& line);  // "PAUSE " and the number
};

}  // namespace cantavo
