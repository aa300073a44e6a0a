#include "listdialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "mci.h"

namespace cantavo {

namespace {

QPushButton* namedButton(const QString& caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

// A whole or decimal number as the program writes it: no blanks, no trailing zeros.
QString plainNumber(double v) { return QString::number(v, 'g', 15); }

}  // namespace

CommentDialog::CommentDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("Comment"));
    text = new QLineEdit(this);
    text->setObjectName(QStringLiteral("Text1"));
    text->setMinimumWidth(320);
    ok = namedButton(QStringLiteral("&OK"), "Command2", this);
    ok->setDefault(true);
    cancel = namedButton(QStringLiteral("&Cancel"), "Command1", this);
    auto* box = new QVBoxLayout(this);
    box->addWidget(text);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    box->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] {
        hide();
        emit entry(QStringLiteral("COMMENT: ") + text->text());
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

PauseDialog::PauseDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form12"));
    setWindowTitle(QStringLiteral("Pause"));
    text = new QLineEdit(QStringLiteral("3"), this);
    text->setObjectName(QStringLiteral("Text1"));
    text->setMaximumWidth(80);
    up = namedButton(QStringLiteral("+"), "Spin1", this);
    down = namedButton(QStringLiteral("-"), "Spin1Down", this);
    for (QPushButton* b : {up, down}) {
        b->setAutoRepeat(true);
        b->setFixedWidth(28);
    }
    ok = namedButton(QStringLiteral("&OK"), "Command1", this);
    ok->setDefault(true);
    cancel = namedButton(QStringLiteral("&Cancel"), "Command2", this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Seconds"), this), 0, 0);
    grid->addWidget(text, 0, 1);
    grid->addWidget(up, 0, 2);
    grid->addWidget(down, 0, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 1, 0, 1, 4);
    const auto step = [this](int by) { text->setText(plainNumber(LeadingNumber(text->text()) + by)); };
    connect(up, &QPushButton::clicked, this, [step] { step(+1); });
    connect(down, &QPushButton::clicked, this, [step] { step(-1); });
    connect(ok, &QPushButton::clicked, this, [this] {
        hide();
        emit entry(QStringLiteral("PAUSE ") + plainNumber(LeadingNumber(text->text())));
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

}  // namespace cantavo
