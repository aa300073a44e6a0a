#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

class QFontDialog;
class QPushButton;

namespace cantavo {

// "&Fonts and Colors": the font, its effects and the text colour in one dialog, roomy
// enough that the sample and the style list are never cut.
class FontColorDialog : public QDialog {
    Q_OBJECT
public:
    FontColorDialog(const QFont& font, const QColor& color, QWidget* parent = nullptr);

    QFont selectedFont() const;
    QColor selectedColor() const { return color_; }
    void setSelectedColor(const QColor& c);
    QFontDialog* fontPart() const { return fonts_; }
    QPushButton* colorButton() const { return colorButton_; }

private:
    QFontDialog* fonts_;
    QPushButton* colorButton_;
    QColor color_;
};

}  // namespace cantavo
