#include "printdialog.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QTextDocument>
#include <QVBoxLayout>

#include "atomicfile.h"
#include "listpanes.h"
#include "mci.h"

namespace cantavo {

PrintDialog::PrintDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Print"));
    points = new QComboBox(this);
    points->setObjectName(QStringLiteral("Combo1"));
    points->setEditable(true);
    for (int size : {8, 10, 12, 14, 16, 18, 24, 36}) points->addItem(QString::number(size));
    points->setEditText(QStringLiteral("12"));
    points->setMinimumWidth(90);
    fonts = new QListWidget(this);
    fonts->setObjectName(QStringLiteral("List1"));
    // The fonts the printer can use: on this desktop, the fonts the system has.
    fonts->addItems(QFontDatabase::families());
    print = new QPushButton(QStringLiteral("&Print"), this);
    print->setObjectName(QStringLiteral("Command1"));
    print->setDefault(true);
    panes = new FilePanes(this);
    panes->setPatterns({QStringLiteral("*")});
    cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    pointsLabel = new QLabel(QStringLiteral("Points"), this);
    pointsLabel->setObjectName(QStringLiteral("Label1"));
    chooseFont = new QCheckBox(QStringLiteral("Select Printer Font"), this);
    chooseFont->setObjectName(QStringLiteral("Check3D1"));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(print);
    buttons->addWidget(cancel);
    buttons->addStretch();
    buttons->addWidget(chooseFont);
    auto* top = new QHBoxLayout;
    top->addWidget(panes, 1);
    top->addLayout(buttons);
    auto* fontRow = new QGridLayout;
    fontRow->addWidget(fonts, 0, 0, 2, 1);
    fontRow->addWidget(pointsLabel, 0, 1);
    fontRow->addWidget(points, 1, 1, Qt::AlignTop);
    auto* box = new QVBoxLayout(this);
    box->addLayout(top, 1);
    box->addLayout(fontRow);
    for (QWidget* w : std::initializer_list<QWidget*>{fonts, pointsLabel, points}) w->hide();
    fonts->setFixedHeight(kExpandedHeight - kCollapsedHeight - 16);
    setMinimumWidth(480);
    setExpanded(false);

    connect(chooseFont, &QCheckBox::toggled, this, &PrintDialog::setExpanded);
    connect(panes->files, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { choose(QDir(panes->folder()).filePath(item->text())); });
    connect(panes, &FilePanes::fileActivated, this, [this](const QString& path) {
        choose(path);
        PrintFile();
    });
    connect(fonts, &QListWidget::itemDoubleClicked, this, [this] { PrintFile(); });
    connect(print, &QPushButton::clicked, this, [this] { PrintFile(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

void PrintDialog::setExpanded(bool on) {
    // The font list and the sizes are part of the dialog only while the box is ticked; what
    // was chosen in them stays in effect while they are hidden.
    for (QWidget* w : std::initializer_list<QWidget*>{fonts, pointsLabel, points}) w->setVisible(on);
    setFixedHeight(on ? kExpandedHeight : kCollapsedHeight);
}

void PrintDialog::choose(const QString& path) { printFilePath_ = path; }

QFont PrintDialog::printFont() const {
    QFont font;
    if (QListWidgetItem* item = fonts->currentItem(); item && !item->text().isEmpty()) font.setFamily(item->text());
    const double size = LeadingNumber(points->currentText());
    if (size > 0) font.setPointSizeF(size);
    return font;
}

bool PrintDialog::PrintFile() {
    const QFont font = printFont();
    if (printFilePath_.isEmpty()) {
        if (showWarning) showWarning(QStringLiteral("Please select the text file to be printed"));
        return false;
    }
    QByteArray bytes;
    QString why;
    if (!ReadInputFile(printFilePath_, kMaxTextBytes, &bytes, &why)) {
        if (showWarning) showWarning(QStringLiteral("%1 could not be read: %2").arg(printFilePath_, why));
        return false;
    }
    const QString text = DecodeTextFile(bytes);
    QPrinter printer;
    const bool ready = setupPrinter ? setupPrinter(printer) : QPrintDialog(&printer, this).exec() == QDialog::Accepted;
    if (!ready) return false;
    QTextDocument document;
    document.setDefaultFont(font);
    document.setPlainText(text + QLatin1Char('\n'));
    document.print(&printer);
    hide();
    return true;
}

}  // namespace cantavo
