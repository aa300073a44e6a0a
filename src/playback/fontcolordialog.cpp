#include "fontcolordialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace cantavo {

FontColorDialog::FontColorDialog(const QFont& font, const QColor& color, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FontsAndColors"));
    setWindowTitle(QStringLiteral("Fonts and Colors"));
    // The font chooser lives inside this dialog: its own buttons go, ours stay.
    fonts_ = new QFontDialog(font, this);
    fonts_->setWindowFlags(Qt::Widget);
    fonts_->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    fonts_->setObjectName(QStringLiteral("FontPart"));

    auto* colorRow = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Text &color:"), this);
    colorButton_ = new QPushButton(this);
    colorButton_->setObjectName(QStringLiteral("TextColor"));
    colorButton_->setMinimumWidth(80);
    label->setBuddy(colorButton_);
    colorRow->addWidget(label);
    colorRow->addWidget(colorButton_);
    colorRow->addStretch(1);
    connect(colorButton_, &QPushButton::clicked, this, [this] {
        const QColor c = QColorDialog::getColor(color_, this, QStringLiteral("Text Color"));
        if (c.isValid()) setSelectedColor(c);
    });
    setSelectedColor(color);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fonts_, 1);
    layout->addLayout(colorRow);
    layout->addWidget(buttons);
    const QSize hint = sizeHint();
    resize(std::max(hint.width(), 560), std::max(hint.height(), 460));
}

QFont FontColorDialog::selectedFont() const { return fonts_->currentFont(); }

void FontColorDialog::setSelectedColor(const QColor& c) {
    color_ = c;
    QPixmap swatch(48, 16);
    swatch.fill(c);
    colorButton_->setIcon(swatch);
    colorButton_->setIconSize(swatch.size());
    colorButton_->setToolTip(c.name());
}

}  // namespace cantavo
