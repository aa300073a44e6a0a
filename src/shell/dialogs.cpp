#include "dialogs.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "numbers.h"
#include "preferences.h"

namespace cantavo {

namespace {

QLabel* makePanel(QWidget* parent, const char* name) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setMinimumWidth(260);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

}  // namespace

SongInfoDialog::SongInfoDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Song Info"));
    auto* grid = new QGridLayout(this);
    titlePanel = makePanel(this, "Panel3D2");
    infoPanel = makePanel(this, "Panel3D4");
    infoPanel->setMinimumHeight(60);
    infoPanel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    tracksPanel = makePanel(this, "Panel3D6");
    meterPanel = makePanel(this, "Panel3D7");
    keyPanel = makePanel(this, "Panel3D8");
    const char* const labels[] = {"Song Title and Author", "Other Information", "Tracks", "Tempo", "Key"};
    QLabel* const panels[] = {titlePanel, infoPanel, tracksPanel, meterPanel, keyPanel};
    for (int i = 0; i < 5; ++i) {
        auto* l = new QLabel(QString::fromLatin1(labels[i]), this);
        l->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        grid->addWidget(l, i, 0, Qt::AlignTop);
        grid->addWidget(panels[i], i, 1);
    }
    auto* melody = new QLabel(QStringLiteral("&Melody"), this);
    melody->setObjectName(QStringLiteral("Label6"));
    melodyChoice = new QComboBox(this);
    melodyChoice->setObjectName(QStringLiteral("MelodyChannel"));
    melodyChoice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    melodyChoice->setToolTip(QStringLiteral("The channel whose notes the singing is scored against"));
    melody->setBuddy(melodyChoice);
    grid->addWidget(melody, 5, 0);
    grid->addWidget(melodyChoice, 5, 1);
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::hide);
    grid->addWidget(ok, 6, 1, Qt::AlignRight);
}

void SongInfoDialog::showSong(const SongModel& s) {
    titlePanel->setText(s.songTitle);
    infoPanel->setText(s.songInfo.mid(1).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    tracksPanel->setText(s.trackCount != 0 ? SignPosition(s.trackCount) : QString());
    meterPanel->setText(s.timeSigNumerator != 0 && s.timeSigDenominator != 0
                            ? SignPosition(s.timeSigNumerator) + QLatin1Char('/') + QString::number(s.timeSigDenominator)
                            : QString());
    keyPanel->setText(s.keyName + QLatin1Char(' ') + s.keyMode);
}

QPixmap ProgramPicture(const QSize& size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(0x1B, 0x1F, 0x4A));
    g.setColorAt(1, QColor(0x5A, 0x1E, 0x6B));
    p.fillRect(pm.rect(), g);
    // A few notes rising across the picture.
    p.setPen(Qt::NoPen);
    const double w = size.width(), h = size.height();
    for (int i = 0; i < 7; ++i) {
        const double x = w * (0.08 + 0.13 * i), y = h * (0.78 - 0.07 * i - (i % 2) * 0.05);
        p.setBrush(QColor(0xFF, 0xD2, 0x4A, 90 + 20 * i));
        p.drawEllipse(QPointF(x, y), w * 0.022, w * 0.016);
        p.fillRect(QRectF(x + w * 0.018, y - h * 0.18, w * 0.006, h * 0.18), QColor(0xFF, 0xD2, 0x4A, 90 + 20 * i));
    }
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(static_cast<int>(h * 0.22));
    p.setFont(f);
    p.setPen(QColor(0x3C, 0xE0, 0xFF));
    p.drawText(QRectF(0, h * 0.18, w, h * 0.35), Qt::AlignCenter, QStringLiteral("Cantavo!"));
    f.setBold(false);
    f.setPixelSize(static_cast<int>(h * 0.07));
    p.setFont(f);
    p.setPen(QColor(0xE8, 0xE8, 0xF0));
    p.drawText(QRectF(0, h * 0.52, w, h * 0.12), Qt::AlignCenter, QStringLiteral("sing along"));
    return pm;
}

QIcon ProgramIcon() { return QIcon(ProgramPicture(QSize(256, 256))); }

ProgramInfoDialog::ProgramInfoDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Program Info"));
    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(ProgramPicture(QSize(320, 180)));
    layout->addWidget(picture);
    for (const char* line : {"Cantavo!", "Version 3.0", "for Windows95"}) {
        auto* l = new QLabel(QString::fromLatin1(line), this);
        l->setAlignment(Qt::AlignCenter);
        layout->addWidget(l);
    }
    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignCenter);
}

HelpWindow::HelpWindow(const QString& helpFile, QWidget* parent) : QTextBrowser(parent) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Cantavo! Help"));
    setWindowFlag(Qt::Window);
    setGeometry(256, 256, 512, 512);
    QFile f(helpFile);
    if (f.open(QIODevice::ReadOnly)) setHtml(DecodeTextFile(f.readAll()));
    else setHtml(QStringLiteral("<p>The help file %1 is missing.</p>").arg(helpFile.toHtmlEscaped()));
}

void HelpWindow::showTopic(int context) {
    topic_ = context;
    scrollToAnchor(context == 0 ? QStringLiteral("contents") : QString::number(context));
    show();
    raise();
}

}  // namespace cantavo
