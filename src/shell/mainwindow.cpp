#include "mainwindow.h"
#include "scoreguide.h"
#include "screenfit.h"
#include "livescorer.h"
#include "listwindow.h"
#include "livepanel.h"
#include "modifydialog.h"

#include <QApplication>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QMimeData>
#include <QStatusBar>
#include <QPainter>
#include <QStyle>

#include "mci.h"
#include "mediacontrol.h"

namespace cantavo {

namespace {

const QString kNotOpen = QStringLiteral("Cantavo!: file not open");

// The menu items and toolbar buttons each song-state command switches.
const QHash<SongCommand, QStringList>& commandNames() {
    static const QHash<SongCommand, QStringList> names{
        {SongCommand::SaveWave, {QStringLiteral("mnfileitem1")}},
        {SongCommand::SaveLyrics, {QStringLiteral("mnfileitem2")}},
        {SongCommand::Close, {QStringLiteral("mnfileitem3")}},
        {SongCommand::SaveAs, {QStringLiteral("sav")}},
        {SongCommand::ModifyKar, {QStringLiteral("edt")}},
        {SongCommand::SongInfo, {QStringLiteral("ifa1")}},
        {SongCommand::InformationButton, {QStringLiteral("Command1")}},
        {SongCommand::ToolSaveWave, {QStringLiteral("tb4")}},
        {SongCommand::ToolExtractLyrics, {QStringLiteral("tb8")}},
        {SongCommand::ToolModifyKar, {QStringLiteral("tb10")}},
    };
    return names;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(kNotOpen);
    setAcceptDrops(true);
    resize(1100, 760);
    ScreenFitter::install();

    commands_ = new Commands(this);
    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setSingleShot(true);
    panel_ = new ControlPanel(this);
    session_ = new SongSession(*this, this);
    mdi_ = new QMdiArea(this);
    mdi_->setObjectName(QStringLiteral("MDIClient"));
    setCentralWidget(mdi_);
    lyrics_ = new LyricsWindow(*session_);
    lyricsSub_ = mdi_->addSubWindow(lyrics_, Qt::SubWindow | Qt::FramelessWindowHint);
    lyricsSub_->showMaximized();
    transport_ = new Transport(*session_, *this, this);

    controlDock_ = new QDockWidget(this);
    controlDock_->setObjectName(QStringLiteral("ControlPanelDock"));
    controlDock_->setTitleBarWidget(new QWidget(controlDock_));
    controlDock_->setFeatures(QDockWidget::NoDockWidgetFeatures);
    controlDock_->setWidget(ScrollingPanel(panel_));
    addDockWidget(Qt::BottomDockWidgetArea, controlDock_);
    // The lyrics window goes before the main window at Exit (its sub-window is closed while a
    // question may still be asked): nothing is measured or wiped on it after that.
    lyricsAlive_ = lyrics_;
    lyricsRoom_.setSingleShot(true);
    connect(&lyricsRoom_, &QTimer::timeout, this, &MainWindow::keepLyricsRoom);
    connect(controlDock_, &QDockWidget::visibilityChanged, &lyricsRoom_, qOverload<>(&QTimer::start));

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 1; i <= 3; ++i) {
        auto* l = new QLabel(status);
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        status->addWidget(l, i == 1 ? 1 : 0);
    }
    setStatusBar(status);

    buildCommands();
    buildMenus();
    buildToolbar();
    connectSignals();
    watchSoundOutput();
}

MainWindow::~MainWindow() {
    delete modify_;
    delete list_;
    panel_->midi->setCommand(QStringLiteral("close"));
    panel_->wave->setCommand(QStringLiteral("close"));
    if (!session_->songPath.isEmpty()) MciSendString(QStringLiteral("close ") + session_->songPath);
}

void MainWindow::buildCommands() {
    Commands& c = *commands_;
    c.add(QStringLiteral("mnfileitem0"), QStringLiteral("&Open"), QKeySequence(QStringLiteral("Ctrl+O")), true, 860);
    c.add(QStringLiteral("mnfileitem1"), QStringLiteral("Save W&ave"), QKeySequence(QStringLiteral("Ctrl+W")), false, 860);
    c.add(QStringLiteral("mnfileitem2"), QStringLiteral("Save &Lyrics"), QKeySequence(QStringLiteral("Ctrl+L")), false, 860);
    c.add(QStringLiteral("mnfileitem3"), QStringLiteral("&Close"), QKeySequence(QStringLiteral("Ctrl+C")), false, 860);
    c.add(QStringLiteral("mnfileitem4"), QStringLiteral("&Print"), QKeySequence(QStringLiteral("Ctrl+P")), true, 860);
    c.add(QStringLiteral("mnfileitem6"), QStringLiteral("E&xit"), QKeySequence(QStringLiteral("Ctrl+X")), true, 860);
    c.add(QStringLiteral("edt"), QStringLiteral("&Modify .KAR"), QKeySequence(QStringLiteral("Ctrl+M")), false, 2010);
    c.add(QStringLiteral("sav"), QStringLiteral("&Save As..."), QKeySequence(QStringLiteral("Ctrl+S")), false, 2010);
    c.add(QStringLiteral("live"), QStringLiteral("&Live Key, Tempo and Mix"), QKeySequence(QStringLiteral("F7")), true, 2010);
    c.add(QStringLiteral("score"), QStringLiteral("&Score"), QKeySequence(QStringLiteral("F8")), true, 2030);
    c.add(QStringLiteral("scoreEasy"), QStringLiteral("&Easy"), {}, true, 2030);
    c.add(QStringLiteral("scoreNormal"), QStringLiteral("&Normal"), {}, true, 2030);
    c.add(QStringLiteral("scoreHard"), QStringLiteral("&Hard"), {}, true, 2030);
    c.add(QStringLiteral("calibrate"), QStringLiteral("&Calibrate..."), {}, true, 2030);
    c.add(QStringLiteral("al0"), QStringLiteral("Create &List / Compilation"), QKeySequence(QStringLiteral("Ctrl+A")), true, 980);
    c.add(QStringLiteral("al1"), QStringLiteral("Play &Compilation"), QKeySequence(QStringLiteral("Ctrl+Y")), false, 980);
    c.add(QStringLiteral("compilationLog"), QStringLiteral("Compilation &Log"), {}, true, 980);
    c.add(QStringLiteral("ron"), QStringLiteral("&On"), QKeySequence(QStringLiteral("F2")), true, 880);
    c.add(QStringLiteral("roff"), QStringLiteral("O&ff"), QKeySequence(QStringLiteral("Shift+F2")), true, 880);
    c.add(QStringLiteral("lon"), QStringLiteral("&On"), QKeySequence(QStringLiteral("F3")), true, 880);
    c.add(QStringLiteral("loff"), QStringLiteral("O&ff"), QKeySequence(QStringLiteral("Shift+F3")), true, 880);
    c.add(QStringLiteral("fo"), QStringLiteral("&Fonts and Colors"), QKeySequence(QStringLiteral("Ctrl+F")), true, 880);
    c.add(QStringLiteral("pil"), QStringLiteral("Pilot &Line Color"), QKeySequence(QStringLiteral("Ctrl+N")), true, 880);
    c.add(QStringLiteral("hic"), QStringLiteral("&Highlight Color"), QKeySequence(QStringLiteral("Ctrl+I")), true, 880);
    c.add(QStringLiteral("sf"), QStringLiteral("Solid &Color"), QKeySequence(QStringLiteral("Ctrl+D")), true, 880);
    c.add(QStringLiteral("bp"), QStringLiteral("&Bitmap"), QKeySequence(QStringLiteral("Ctrl+B")), true, 880);
    c.add(QStringLiteral("hd"), QStringLiteral("&Recording Options"), QKeySequence(QStringLiteral("Ctrl+H")), true, 880);
    c.add(QStringLiteral("aot"), QStringLiteral("Always on Top"), {}, true, 880);
    c.add(QStringLiteral("pref"), QStringLiteral("&Save Preferences"), QKeySequence(QStringLiteral("F4")), true, 880);
    c.add(QStringLiteral("mo"), QStringLiteral("Cantavo! &Help"), {}, true, 920);
    c.add(QStringLiteral("ifa1"), QStringLiteral("&Song Info"), QKeySequence(QStringLiteral("F5")), false, 900);
    c.add(QStringLiteral("ifa2"), QStringLiteral("&Program Info"), QKeySequence(QStringLiteral("F6")), true, 900);
    static const char* const tips[] = {"Open", "Save Wave", "Print", "Extract Lyrics", "Modify .kar", "Make Compilation / List", "Bold",
                                       "Italics", "Underline", "Help"};
    for (int i = 0; i < 10; ++i) {
        QAction* a = c.add(QStringLiteral("tb%1").arg(2 * i + 2), QString::fromLatin1(tips[i]), {}, !(i == 1 || i == 3 || i == 4));
        a->setProperty("tip", QString::fromLatin1(tips[i]));
    }
    c.add(QStringLiteral("Command1"), QStringLiteral("&Information"), {}, false);
    c.add(QStringLiteral("Command4"), QStringLiteral("&Autoplay"), {}, false);
    c.add(QStringLiteral("Command2"), QStringLiteral("App&lause"))->setToolTip(QStringLiteral("Applause over the song"));
    c.add(QStringLiteral("Command3"), QStringLiteral("&Boo Boo!"))->setToolTip(QStringLiteral("Booing over the song"));
    c.add(QStringLiteral("Command5"), QStringLiteral("User &1"))->setToolTip(QStringLiteral("Your sound: right button to choose it"));
    c.add(QStringLiteral("Command6"), QStringLiteral("User &2"))->setToolTip(QStringLiteral("Your sound: right button to choose it"));
    for (const char* built : {"mnfileitem0", "mnfileitem3", "mnfileitem6", "ron", "roff", "lon", "loff", "fo", "pil", "hic", "sf", "bp",
                              "aot", "pref", "mo", "ifa1", "ifa2", "tb2", "tb14", "tb16", "tb18", "tb20", "Command1", "edt", "sav", "tb10", "al0", "tb12"})
        c.setAvailable(QString::fromLatin1(built));
    for (const QString& n : {QStringLiteral("ron"), QStringLiteral("roff"), QStringLiteral("lon"), QStringLiteral("loff"), QStringLiteral("aot")})
        c[n]->setCheckable(true);
    c[QStringLiteral("ron")]->setChecked(true);
    c[QStringLiteral("loff")]->setChecked(true);
    for (const char* t : {"tb14", "tb16", "tb18"}) c[QString::fromLatin1(t)]->setCheckable(true);
}

void MainWindow::buildMenus() {
    Commands& c = *commands_;
    QMenuBar* bar = menuBar();
    fileMenu_ = bar->addMenu(QStringLiteral("&File"));
    fileMenu_->setObjectName(QStringLiteral("mnfile"));
    fileMenu_->setProperty("help", 860);
    for (const char* n : {"mnfileitem0", "mnfileitem1", "mnfileitem2", "mnfileitem3", "mnfileitem4"}) fileMenu_->addAction(c[QString::fromLatin1(n)]);
    fileMenu_->addSeparator()->setObjectName(QStringLiteral("mnfileitem5"));
    fileMenu_->addAction(c[QStringLiteral("mnfileitem6")]);
    recentSeparator_ = fileMenu_->addSeparator();
    recentSeparator_->setObjectName(QStringLiteral("mnFileArray0"));
    recentSeparator_->setVisible(false);

    QMenu* modify = bar->addMenu(QStringLiteral("&Modify"));
    modify->setObjectName(QStringLiteral("eddd"));
    modify->setProperty("help", 2010);
    modify->addAction(c[QStringLiteral("edt")]);
    modify->addAction(c[QStringLiteral("sav")]);
    modify->addSeparator();
    modify->addAction(c[QStringLiteral("live")]);

    QMenu* sing = bar->addMenu(QStringLiteral("&Sing"));
    sing->setObjectName(QStringLiteral("sing"));
    sing->setProperty("help", 2030);
    sing->addAction(c[QStringLiteral("score")]);
    QMenu* difficulty = sing->addMenu(QStringLiteral("&Difficulty"));
    difficulty->setObjectName(QStringLiteral("difficulty"));
    for (const char* n : {"scoreEasy", "scoreNormal", "scoreHard"}) difficulty->addAction(c[QString::fromLatin1(n)]);
    sing->addAction(c[QStringLiteral("calibrate")]);

    QMenu* autoplay = bar->addMenu(QStringLiteral("&Autoplay"));
    autoplay->setObjectName(QStringLiteral("lis"));
    autoplay->setProperty("help", 980);
    autoplay->addAction(c[QStringLiteral("al0")]);
    autoplay->addAction(c[QStringLiteral("al1")]);
    autoplay->addAction(c[QStringLiteral("compilationLog")]);

    QMenu* prefs = bar->addMenu(QStringLiteral("&Preferences"));
    prefs->setObjectName(QStringLiteral("mnuchar"));
    prefs->setProperty("help", 880);
    QMenu* rib = prefs->addMenu(QStringLiteral("&Toolbar"));
    rib->setObjectName(QStringLiteral("rib"));
    rib->addAction(c[QStringLiteral("ron")]);
    rib->addAction(c[QStringLiteral("roff")]);
    QMenu* ful = prefs->addMenu(QStringLiteral("&Full Screen"));
    ful->setObjectName(QStringLiteral("ful"));
    ful->addAction(c[QStringLiteral("lon")]);
    ful->addAction(c[QStringLiteral("loff")]);
    prefs->addAction(c[QStringLiteral("fo")]);
    prefs->addAction(c[QStringLiteral("pil")]);
    prefs->addAction(c[QStringLiteral("hic")]);
    QMenu* bk = prefs->addMenu(QStringLiteral("&Background Color"));
    bk->setObjectName(QStringLiteral("bk"));
    bk->addAction(c[QStringLiteral("sf")]);
    bk->addAction(c[QStringLiteral("bp")]);
    prefs->addAction(c[QStringLiteral("hd")]);
    prefs->addSeparator()->setObjectName(QStringLiteral("sep0"));
    prefs->addAction(c[QStringLiteral("aot")]);
    prefs->addSeparator()->setObjectName(QStringLiteral("sep"));
    prefs->addAction(c[QStringLiteral("pref")]);
    midiOutMenu_ = prefs->addMenu(QStringLiteral("&MIDI Out"));
    midiOutMenu_->setObjectName(QStringLiteral("mout"));
    midiOutMenu_->setProperty("help", 2020);
    // The design-time item: a separator line until the devices are listed.
    auto* dev0 = midiOutMenu_->addAction(QStringLiteral("-"));
    dev0->setObjectName(QStringLiteral("dev0"));
    dev0->setSeparator(true);
    midiOutItems_ << dev0;
    buildEncodingMenu(prefs);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnHelp"));
    help->setProperty("help", 920);
    help->addAction(c[QStringLiteral("mo")]);
    // F1 outside the menus (inside one, the filter below gives that menu's topic).
    auto* helpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    helpKey->setObjectName(QStringLiteral("helpKey"));
    connect(helpKey, &QShortcut::activated, c[QStringLiteral("mo")], &QAction::trigger);
    help->addSeparator()->setObjectName(QStringLiteral("sep1"));
    QMenu* info = help->addMenu(QStringLiteral("&Information"));
    info->setObjectName(QStringLiteral("info"));
    info->setProperty("help", 900);
    for (QMenu* m : bar->findChildren<QMenu*>()) {
        m->installEventFilter(this);
        if (!m->property("help").isValid()) m->setProperty("help", m->parentWidget() ? m->parentWidget()->property("help") : QVariant());
    }
    info->addAction(c[QStringLiteral("ifa1")]);
    info->addAction(c[QStringLiteral("ifa2")]);
}

QIcon FadedWhenDisabled(const QIcon& icon) {
    // Grey icons look the same in grey: a disabled button is shown faint instead.
    QIcon out;
    for (int size : {16, 22, 24, 32, 48}) {
        const QPixmap normal = icon.pixmap(size, size);
        if (normal.isNull()) continue;
        out.addPixmap(normal, QIcon::Normal);
        QPixmap faint(normal.size());
        faint.setDevicePixelRatio(normal.devicePixelRatio());
        faint.fill(Qt::transparent);
        QPainter p(&faint);
        p.setOpacity(0.25);
        p.drawPixmap(0, 0, normal);
        p.end();
        out.addPixmap(faint, QIcon::Disabled);
    }
    return out;
}

void MainWindow::buildToolbar() {
    toolbar_ = addToolBar(QStringLiteral("Toolbar"));
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setMovable(false);
    static const char* const icons[] = {"document-open", "document-save", "document-print", "edit-copy", "document-properties",
                                        "view-list-details", "format-text-bold", "format-text-italic", "format-text-underline", "help-contents"};
    static const QStyle::StandardPixmap fallback[] = {QStyle::SP_DialogOpenButton, QStyle::SP_DialogSaveButton, QStyle::SP_FileIcon,
                                                      QStyle::SP_FileDialogContentsView, QStyle::SP_FileDialogDetailedView,
                                                      QStyle::SP_FileDialogListView};
    // Drawn stand-ins for the style buttons, whose theme icons are often missing.
    auto letter = [](const QString& text, bool bold, bool italic, bool underline) {
        QPixmap pm(32, 32);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        QFont f(QStringLiteral("DejaVu Serif"));
        f.setPixelSize(24);
        f.setBold(bold);
        f.setItalic(italic);
        f.setUnderline(underline);
        p.setFont(f);
        p.setPen(QColor(0x30, 0x30, 0x38));
        p.drawText(pm.rect(), Qt::AlignCenter, text);
        return QIcon(pm);
    };
    const QIcon drawn[10] = {{}, {}, {}, {}, {}, {}, letter(QStringLiteral("B"), true, false, false), letter(QStringLiteral("I"), false, true, false),
                             letter(QStringLiteral("U"), false, false, true), letter(QStringLiteral("?"), true, false, false)};
    for (int b = 1; b <= 21; ++b) {
        if (b % 2 == 1) {
            toolbar_->addSeparator()->setObjectName(QStringLiteral("tb%1").arg(b));
            continue;
        }
        QAction* a = (*commands_)[QStringLiteral("tb%1").arg(b)];
        const int i = b / 2 - 1;
        const QIcon stand = i < 6 ? style()->standardIcon(fallback[i]) : drawn[i];
        a->setIcon(FadedWhenDisabled(QIcon::fromTheme(QString::fromLatin1(icons[i]), stand)));
        toolbar_->addAction(a);
    }
}

void MainWindow::connectSignals() {
    Commands& c = *commands_;
    auto on = [&](const char* name, auto slot) { connect(c[QString::fromLatin1(name)], &QAction::triggered, this, slot); };
    on("mnfileitem0", [this] { FileOpen(); });
    on("tb2", [this] { FileOpen(); });
    on("mnfileitem3", [this] { session_->CloseSong(); });
    on("mnfileitem6", [this] { MenuExit(); });
    on("edt", [this] { PrepareModify(); });
    on("tb10", [this] { PrepareModify(); });
    on("sav", [this] { SaveAs(); });
    on("al0", [this] { OpenListEditor(); });
    on("tb12", [this] { OpenListEditor(); });
    on("aot", [this] { setAlwaysOnTop((*commands_)[QStringLiteral("aot")]->isChecked()); });
    on("pref", [this] { SavePreferences(); });
    on("ifa1", [this] { showSongInfo(); });
    on("Command1", [this] { showSongInfo(); });
    on("ifa2", [this] { ProgramInfoDialog(this).exec(); });
    on("mo", [this] { ShowHelp(0); });
    on("tb20", [this] { ShowHelp(0); });
    on("ron", [this] { setToolbarOn(true); });
    on("roff", [this] { setToolbarOn(false); });
    on("lon", [this] { setFullScreenOn(true); });
    on("loff", [this] { setFullScreenOn(false); });
    on("fo", [this] { lyrics_->FontsAndColors(); });
    on("pil", [this] { lyrics_->PilotLineColor(); });
    on("hic", [this] { lyrics_->HighlightColor(); });
    on("sf", [this] { lyrics_->SolidColor(); });
    on("bp", [this] { lyrics_->ChooseBitmap(); });
    on("tb14", [this] { toggleStyle(0); });
    on("tb16", [this] { toggleStyle(1); });
    on("tb18", [this] { toggleStyle(2); });
    connect(panel_->buttons[7], &QPushButton::clicked, this, &MainWindow::ButtonExit);
    connect(panel_->buttons[0], &QPushButton::clicked, c[QStringLiteral("Command1")], &QAction::trigger);
    connect(c[QStringLiteral("Command1")], &QAction::changed, this, [this] {
        panel_->buttons[0]->setEnabled((*commands_)[QStringLiteral("Command1")]->isEnabled());
    });
    panel_->buttons[0]->setEnabled(false);
    connect(panel_->buttons[3], &QPushButton::clicked, c[QStringLiteral("Command4")], &QAction::trigger);
    connect(c[QStringLiteral("Command4")], &QAction::changed, this, [this] {
        QAction* autoplay = (*commands_)[QStringLiteral("Command4")];
        panel_->buttons[3]->setEnabled(autoplay->isEnabled());
        panel_->buttons[3]->setToolTip(autoplay->toolTip());
    });
    panel_->buttons[3]->setEnabled(false);
    connectCompilation();
    connectOutput();
    connectRecording();
    connectLive();
    connectScoring();
    connectStage();
    connectRotation();
    connectRequests();

    MediaControl* midi = panel_->midi;
    connect(midi, &MediaControl::buttonClicked, this, [this](MediaButton b, bool*) {
        if (b == MediaButton::Play) transport_->PlayClicked();
        else if (b == MediaButton::Prev) transport_->Rewind();
    });
    connect(midi, &MediaControl::buttonDone, this, [this](MediaButton b) { transport_->ButtonDone(static_cast<int>(b)); });
    connect(midi, &MediaControl::statusUpdate, transport_, &Transport::Poll);
    // The space bar plays and pauses from anywhere in the window, through the control's own
    // buttons so that everything a click does happens.
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setObjectName(QStringLiteral("PlayPauseShortcut"));
    connect(space, &QShortcut::activated, this, [midi] {
        QToolButton* b = midi->button(midi->mode() == static_cast<int>(MediaMode::Playing) ? MediaButton::Pause : MediaButton::Play);
        if (b->isEnabled()) b->click();
    });
    connect(midi, &MediaControl::completed, transport_, &Transport::Completed);
    connect(panel_->progress, &ProgressIndicator::clickedAt, transport_, &Transport::ProgressClicked);
    connect(panel_->tempoDown, &QToolButton::clicked, this, [this] { transport_->TempoStep(-1); });
    connect(panel_->tempoUp, &QToolButton::clicked, this, [this] { transport_->TempoStep(+1); });
    connect(lyrics_, &LyricsWindow::firstPageDrawn, this, &MainWindow::afterFirstPage);
}

void MainWindow::toggleStyle(int which) {
    DisplaySettings& s = lyrics_->settings;
    bool& flag = which == 0 ? s.fontBold : which == 1 ? s.fontItalic : s.fontUnderline;
    flag = !flag;
    lyrics_->ApplyLyricsFont();
    lyrics_->RedrawPage(0);
}

void MainWindow::setPanelVisible(bool on) {
    controlDock_->setVisible(on);
    panel_->setVisible(on);
}

bool MainWindow::panelShown() const { return panel_->isVisibleTo(this) && controlDock_->isVisibleTo(this); }

void MainWindow::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    lyricsRoom_.start();
}

void MainWindow::keepLyricsRoom() {
    if (!lyricsAlive_) return;
    QList<QWidget*> strips;
    if (guide_) strips << guide_;
    const PageRoom room = KeepPageRoom(this, &lyrics_->surface(), 0.5, strips);
    // Closing is for a layout that has settled: a panel just opened measures wrong at first.
    if (room.lacking > 0 && !room.changed && liveDock_ && liveDock_->isVisible()) {
        liveDock_->hide();
        statusBar()->showMessage(QStringLiteral("The live panel was closed to leave the lyrics their room; F7 opens it again"), 10000);
    }
    // The page was measured on a layout that may not have caught up yet: once more, until
    // nothing changes.
    if ((room.changed || room.lacking > 0) && ++roomPasses_ < 4) lyricsRoom_.start();
    else roomPasses_ = 0;
}

void MainWindow::afterFirstPage() {
    setPanelVisible(true);
    panelVisible = -1;
    panel_->midi->focusAfterPage();
}

void MainWindow::FileOpen() {
    session_->PrepareFileOpen();
    QString chosen;
    if (chooseSongFile) {
        chosen = chooseSongFile();
    } else {
        QString selected = QStringLiteral("Karaoke Files (*.kar)");
        chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(),
                                              QStringLiteral("All Files (*);;Karaoke Files (*.kar);;MIDI Files (*.mid);;Sounds (*.wav)"), &selected);
    }
    // The chosen file's folder becomes the current folder, as it does for every file dialog;
    // the path is made whole first, so that it still names the file from there.
    if (!chosen.isEmpty()) {
        chosen = QFileInfo(chosen).absoluteFilePath();
        QDir::setCurrent(QFileInfo(chosen).absolutePath());
    }
    session_->FileOpenChosen(chosen);
}

void MainWindow::openFromOutside(const QString& path) {
    if (path.endsWith(QStringLiteral(".cpl"), Qt::CaseInsensitive)) {
        LoadCompilation(QFileInfo(path).absoluteFilePath());
        return;
    }
    if (path.endsWith(QStringLiteral(".lst"), Qt::CaseInsensitive)) {
        OpenListEditor();
        listWindow().OpenListFile(QFileInfo(path).absoluteFilePath());
        return;
    }
    session_->PrepareFileOpen();
    session_->FileOpenChosen(QFileInfo(path).absoluteFilePath());
}

void MainWindow::setToolbarOn(bool on) {
    toolbar_->setVisible(on);
    toolbarVisible = on ? -1 : 0;
    (*commands_)[QStringLiteral("ron")]->setChecked(on);
    (*commands_)[QStringLiteral("roff")]->setChecked(!on);
}

void MainWindow::setFullScreenOn(bool on) {
    toolbar_->setVisible(!on);
    setPanelVisible(!on);
    toolbarVisible = panelVisible = on ? 0 : -1;
    (*commands_)[QStringLiteral("ron")]->setChecked(!on);
    (*commands_)[QStringLiteral("roff")]->setChecked(on);
    (*commands_)[QStringLiteral("lon")]->setChecked(on);
    (*commands_)[QStringLiteral("loff")]->setChecked(!on);
}

void MainWindow::setCaption(const QString& caption) { setWindowTitle(caption); }
void MainWindow::setTitlePanel(const QString& text) { panel_->title->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" - "))); }
void MainWindow::setTotalTimePanel(const QString& text) { panel_->totalTime->setText(text); }
void MainWindow::setCurrentTimePanel(const QString& text) { panel_->currentTime->setText(text); }
void MainWindow::setTempoPanel(const QString& text) { panel_->tempo->setText(text); }
void MainWindow::setProgress(double percent) { panel_->progress->setFill(percent); }

void MainWindow::enableCommand(SongCommand command, bool on) {
    for (const QString& name : commandNames().value(command)) commands_->setEnabled(name, on);
}

void MainWindow::addRecentFile(const QString& path) {
    recentSeparator_->setVisible(true);
    auto* a = new QAction(path.toUpper(), this);
    a->setObjectName(QStringLiteral("mnFileArray%1").arg(session_->recentCount - 1));
    a->setData(path);
    connect(a, &QAction::triggered, this, [this, path] { session_->OpenRecent(path); });
    fileMenu_->addAction(a);
}

void MainWindow::showWarning(const QString& text) {
    if (quietBoxes_) {
        heldMessages_ << text;
        return;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Cantavo!"), text, QMessageBox::Ok, this);
    box.exec();
}

bool MainWindow::askYesNo(const QString& text) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Cantavo!"), text, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void MainWindow::showMciError(int error) {
    if (quietBoxes_) heldMessages_ << MciErrorText(error);
    else ShowMciError(this, error);
}

void MainWindow::setWaitCursor(bool on) {
    if (on) setCursor(Qt::WaitCursor);
    else unsetCursor();
}

void MainWindow::setWaveStatusColor(const QColor& c) {
    QPalette p = panel_->waveStatus->palette();
    p.setColor(QPalette::WindowText, c);
    panel_->waveStatus->setPalette(p);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) openFromOutside(urls.first().toLocalFile());
}

}  // namespace cantavo
