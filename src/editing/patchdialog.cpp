#include "patchdialog.h"

#include <QGridLayout>
#include <QHBoxLayout>

#include "gmnames.h"

namespace cantavo {

PatchDialog::PatchDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QStringLiteral("Change Patch"));
    change = new QLabel(QStringLiteral("Change"), this);
    with = new QLabel(QStringLiteral("with"), this);
    for (QLabel* l : {change, with}) l->setObjectName(QStringLiteral("Label1"));
    change->setProperty("index", 0);
    with->setProperty("index", 1);
    current = new QLabel(this);
    current->setObjectName(QStringLiteral("Label2"));
    current->setFrameShape(QFrame::StyledPanel);
    current->setMinimumWidth(260);
    combo = new QComboBox(this);
    combo->setObjectName(QStringLiteral("Combo1"));
    combo->addItems(PatchListEntries());
    combo->setMaxVisibleItems(20);
    combo->setCurrentIndex(0);
    ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(change, 0, 0);
    grid->addWidget(current, 0, 1);
    grid->addWidget(with, 1, 0);
    grid->addWidget(combo, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 2);

    connect(ok, &QPushButton::clicked, this, [this] {
        hide();
        emit chosen(combo->currentIndex(), combo->currentText());
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

void PatchDialog::prepare(const QString& currentPatch, int program) {
    current->setText(currentPatch);
    combo->setCurrentIndex(program >= 0 && program < combo->count() ? program : 0);
}

}  // namespace cantavo
