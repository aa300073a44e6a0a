#include "listdialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "formwidgets.h"
#include "mci.h"

namespace cantavo {

namespace {

// A whole or decimal number as the program writes it: no blanks, no trailing zeros.
QString plainNumber(double v) { return QString::number(v, 'g', 15); }

}  // namespace

CommentDialog::CommentDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("Comment"));
    text = new QLineEdit(this);
    text->setObjectName(QStringLiteral("Text1"));
    text->setMinimumWidth(320);
    ok = NamedWidget<QPushButton>("Command2", QStringLiteral("&OK"), this);
    ok->setDefault(true);
    cancel = NamedWidget<QPushButton>("Command1", QStringLiteral("&Cancel"), this);
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
    up = NamedWidget<QPushButton>("Spin1", QStringLiteral("+"), this);
    down = NamedWidget<QPushButton>("Spin1Down", QStringLiteral("-"), this);
    for (QPushButton* b : {up, down}) {
        b->setAutoRepeat(true);
        b->setFixedWidth(28);
    }
    ok = NamedWidget<QPushButton>("Command1", QStringLiteral("&OK"), this);
    ok->setDefault(true);
    cancel = NamedWidget<QPushButton>("Command2", QStringLiteral("&Cancel"), this);
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
