#include "listwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCollator>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QSet>
#include <QVBoxLayout>

#include "formwidgets.h"
#include "mediacontrol.h"
#include "songreader.h"
#include "songsession.h"

namespace cantavo {

namespace {

const int kColumnTwips[6] = {1200, 900, 2700, 2700, 2700, 1};
const char* const kHeadings[6] = {"File Name", "Length", "Title", "Author", "Path", ""};

// Text as a search compares it: case folded, accents taken off ("Frère" finds "frere").
QString searchable(const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing) out += c;
    return out.toCaseFolded();
}

}  // namespace

ListWindow::ListWindow(SongSession& session, SessionView& view, QWidget* parent)
    : QDialog(parent), session_(session), view_(view) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Edit List / Compilation"));
    buildLayout();
    buildMenus();
    connectSignals();
    resize(1000, 700);
}

ListWindow::~ListWindow() = default;

void ListWindow::buildLayout() {
    panes = new FilePanes(this);
    panes->setMinimumWidth(200);

    search = new QLineEdit(this);
    search->setObjectName(QStringLiteral("SearchText"));
    search->setPlaceholderText(QStringLiteral("Search file name, title or author"));
    search->setClearButtonEnabled(true);
    addButton = NamedWidget<QPushButton>("Command1", QStringLiteral("&Add to List"), this);
    addFolderButton = NamedWidget<QPushButton>("AddFolder", QStringLiteral("Add &Folder..."), this);
    clearButton = NamedWidget<QPushButton>("Command9", QStringLiteral("&Clear List"), this);

    grid = new QTableWidget(0, 6, this);
    grid->setObjectName(QStringLiteral("Grid1"));
    QStringList headings;
    for (const char* h : kHeadings) headings << QString::fromLatin1(h);
    grid->setHorizontalHeaderLabels(headings);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    for (int c = 0; c < 6; ++c) grid->setColumnWidth(c, TwipsToPixels(kColumnTwips[c]));
    grid->setColumnHidden(5, true);
    grid->horizontalHeader()->setStretchLastSection(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    // Sorted only when a heading is clicked: rows added later go to the end, in the order added.
    grid->horizontalHeader()->setSectionsClickable(true);
    grid->horizontalHeader()->setSortIndicatorShown(false);
    grid->setToolTip(QStringLiteral("Click: preview; double-click: into the compilation; click a heading to sort"));

    preview = new MediaControl(MediaControl::DeviceType::Sequencer, this);
    preview->setObjectName(QStringLiteral("MMControl1"));
    singButton = NamedWidget<QPushButton>("Command7", QStringLiteral("&Sing"), this);
    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("ScanProgress"));
    progress->hide();
    cancelScanButton = NamedWidget<QPushButton>("CancelScan", QStringLiteral("Stop"), this);
    cancelScanButton->hide();
    addedNote = new QLabel(this);
    addedNote->setObjectName(QStringLiteral("AddedNote"));

    auto* label = new QLabel(QStringLiteral("Compilation"), this);
    label->setObjectName(QStringLiteral("Label1"));
    compilation = new QPlainTextEdit(this);
    compilation->setObjectName(QStringLiteral("Text1"));
    compilation->setLineWrapMode(QPlainTextEdit::NoWrap);
    commentButton = NamedWidget<QPushButton>("Command5", QStringLiteral("Co&mm."), this);
    pauseButton = NamedWidget<QPushButton>("Command3", QStringLiteral("&Pause"), this);
    soundButton = NamedWidget<QPushButton>("Command4", QStringLiteral("S&ound"), this);
    pictureButton = NamedWidget<QPushButton>("Command8", QStringLiteral("&Picture"), this);
    okButton = NamedWidget<QPushButton>("Command6", QStringLiteral("&OK"), this);
    cancelButton = NamedWidget<QPushButton>("Command2", QStringLiteral("&Cancel"), this);
    commentDialog = new CommentDialog(this);
    pauseDialog = new PauseDialog(this);

    auto* listTools = new QHBoxLayout;
    listTools->addWidget(search, 1);
    listTools->addWidget(addButton);
    listTools->addWidget(addFolderButton);
    listTools->addWidget(clearButton);
    auto* playTools = new QHBoxLayout;
    playTools->addWidget(preview);
    playTools->addWidget(singButton);
    playTools->addWidget(progress, 1);
    playTools->addWidget(cancelScanButton);
    playTools->addWidget(addedNote, 1);
    playTools->addStretch();
    auto* entryButtons = new QVBoxLayout;
    for (QPushButton* b : {commentButton, pauseButton, soundButton, pictureButton}) entryButtons->addWidget(b);
    entryButtons->addStretch();
    entryButtons->addWidget(okButton);
    entryButtons->addWidget(cancelButton);
    auto* compilationRow = new QHBoxLayout;
    compilationRow->addWidget(compilation, 1);
    compilationRow->addLayout(entryButtons);

    auto* right = new QVBoxLayout;
    right->addLayout(listTools);
    right->addWidget(grid, 3);
    right->addLayout(playTools);
    right->addWidget(label);
    right->addLayout(compilationRow, 2);
    auto* main = new QHBoxLayout;
    main->addWidget(panes);
    main->addLayout(right, 1);
    auto* outer = new QVBoxLayout(this);
    menu = new QMenuBar(this);
    outer->setMenuBar(menu);
    outer->addLayout(main);
}

void ListWindow::buildMenus() {
    QMenu* file = menu->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("listfil"));
    const char* const items[] = {"&Open List", "&Save List", "Open &Compilation", "Sa&ve Compilation", "Make &Report", "-", "C&lose"};
    const std::function<void()> actions[] = {[this] { OpenList(); },        [this] { SaveList(); },
                                             [this] { OpenCompilation(); }, [this] { SaveCompilation(); },
                                             [this] { MakeReport(); },      nullptr,
                                             [this] { CloseWindow(); }};
    for (int i = 0; i < 7; ++i) {
        QAction* a = QString::fromLatin1(items[i]) == QStringLiteral("-") ? file->addSeparator() : file->addAction(QString::fromLatin1(items[i]));
        a->setObjectName(QStringLiteral("li%1").arg(i));
        if (actions[i]) connect(a, &QAction::triggered, this, actions[i]);
    }
    QAction* folder = file->addAction(QStringLiteral("Add &Folder..."));
    folder->setObjectName(QStringLiteral("liFolder"));
    connect(folder, &QAction::triggered, this, &ListWindow::AddFolder);
    file->insertAction(file->actions().at(5), folder);

    QMenu* edit = menu->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("edit"));
    const char* const editItems[] = {"&Copy", "C&ut", "&Paste"};
    for (int i = 0; i < 3; ++i) {
        QAction* a = edit->addAction(QString::fromLatin1(editItems[i]));
        a->setObjectName(QStringLiteral("edit%1").arg(i));
        connect(a, &QAction::triggered, this, [this, i] { editCommand(i); });
    }
}

void ListWindow::connectSignals() {
    connect(addButton, &QPushButton::clicked, this, &ListWindow::AddToList);
    connect(addFolderButton, &QPushButton::clicked, this, &ListWindow::AddFolder);
    connect(clearButton, &QPushButton::clicked, this, &ListWindow::ClearList);
    connect(singButton, &QPushButton::clicked, this, &ListWindow::Sing);
    connect(okButton, &QPushButton::clicked, this, &ListWindow::AcceptCompilation);
    connect(cancelButton, &QPushButton::clicked, this, &ListWindow::DiscardCompilation);
    connect(commentButton, &QPushButton::clicked, this, [this] {
        commentDialog->show();
        commentDialog->raise();
    });
    connect(pauseButton, &QPushButton::clicked, this, [this] {
        pauseDialog->show();
        pauseDialog->raise();
    });
    connect(soundButton, &QPushButton::clicked, this, [this] {
        const QString wave = fileFor(QStringLiteral("Sound"), QStringLiteral("All Files (*.*)|*.*|Sounds (*.wav)|*.wav"), false);
        if (!wave.isEmpty()) insertEntry(QStringLiteral("WAVE ") + wave);
    });
    connect(pictureButton, &QPushButton::clicked, this, [this] {
        const QString picture = fileFor(QStringLiteral("Picture"), QStringLiteral("All Files (*.*)|*.*|Pictures (*.bmp)|*.bmp"), false);
        if (!picture.isEmpty()) insertEntry(QStringLiteral("BACKGROUND ") + picture);
    });
    connect(commentDialog, &CommentDialog::entry, this, &ListWindow::insertEntry);
    connect(pauseDialog, &PauseDialog::entry, this, &ListWindow::insertEntry);
    connect(panes, &FilePanes::fileActivated, this, [this](const QString& path) { insertEntry(QStringLiteral("KARAOKE ") + path); });
    connect(panes, &FilePanes::fileRightClicked, this, &ListWindow::previewSong);
    connect(grid, &QTableWidget::cellClicked, this, [this](int row, int) { previewSong(rowAt(row).fullPath().trimmed()); });
    connect(grid, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = grid->rowAt(at.y());
        if (row < 0) return;
        grid->selectRow(row);
        previewSong(rowAt(row).fullPath().trimmed());
    });
    connect(grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        insertEntry(QStringLiteral("KARAOKE ") + rowAt(row).fullPath());
    });
    connect(search, &QLineEdit::textChanged, this, &ListWindow::filterRows);
    connect(grid->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        // The order is kept here: the header turns its own indicator on a click before it
        // says so, which would turn the order twice.
        sortOrder_ = column == sortColumn_ && sortOrder_ == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
        sortColumn_ = column;
        QHeaderView* header = grid->horizontalHeader();
        header->setSortIndicatorShown(true);
        header->setSortIndicator(column, sortOrder_);
        grid->sortByColumn(column, sortOrder_);
    });
    connect(&scan_, &CatalogueScan::progress, this, [this](int done, int total) {
        progress->setMaximum(total);
        progress->setValue(done);
        progress->setFormat(QStringLiteral("%1 of %2 songs").arg(done).arg(total));
    });
    connect(&scan_, &CatalogueScan::finished, this, &ListWindow::scanFinished);
    connect(cancelScanButton, &QPushButton::clicked, &scan_, &CatalogueScan::cancel);
}

void ListWindow::Present() {
    panes->refresh();
    if (!loaded_) {
        loaded_ = true;
        if (rows().isEmpty() && QFileInfo::exists(defaultListPath)) readList(defaultListPath);
    }
    show();
    raise();
    activateWindow();
}

namespace {

// A cell that sorts as a person reads: in the user's language, case and accents as the
// language orders them, and numbers by their value ("Track 2" before "Track 10").
class ReadersItem : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override { return collator().compare(text(), other.text()) < 0; }

private:
    static const QCollator& collator() {
        static const QCollator c = [] {
            // The C locale (no language chosen) collates by code point: "Zoe" before "abba".
            QLocale language;
            if (language.language() == QLocale::C) language = QLocale(QLocale::English, QLocale::UnitedStates);
            QCollator made(language);
            made.setNumericMode(true);
            made.setCaseSensitivity(Qt::CaseInsensitive);
            return made;
        }();
        return c;
    }
};

}  // namespace

void ListWindow::setRow(int row, const SongRow& r) {
    const QString texts[5] = {r.fileName, r.length, r.title, r.author, r.path};
    for (int c = 0; c < 5; ++c) grid->setItem(row, c, new ReadersItem(texts[c]));
}

SongRow ListWindow::rowAt(int row) const {
    const auto text = [&](int c) {
        const QTableWidgetItem* item = grid->item(row, c);
        return item ? item->text() : QString();
    };
    return {text(0), text(1), text(2), text(3), text(4)};
}

QList<SongRow> ListWindow::rows() const {
    QList<SongRow> out;
    for (int r = 0; r < grid->rowCount(); ++r) out << rowAt(r);
    return out;
}

void ListWindow::setRows(const QList<SongRow>& rows) {
    grid->setRowCount(0);
    appendRows(rows);
}

void ListWindow::appendRows(const QList<SongRow>& rows) {
    int row = grid->rowCount();
    grid->setRowCount(row + static_cast<int>(rows.size()));
    for (const SongRow& r : rows) setRow(row++, r);
    filterRows(search->text());
}

int ListWindow::appendNewRows(const QList<SongRow>& rows) {
    // A song is the same song by its folder and name, whatever its title says.
    QSet<QString> known;
    for (int r = 0; r < grid->rowCount(); ++r) {
        const SongRow row = rowAt(r);
        known.insert(row.path + row.fileName);
    }
    QList<SongRow> fresh;
    for (const SongRow& r : rows)
        if (!known.contains(r.path + r.fileName)) {
            known.insert(r.path + r.fileName);
            fresh << r;
        }
    appendRows(fresh);
    const qsizetype already = rows.size() - fresh.size();
    addedNote->setText(already == 0 ? QStringLiteral("%1 songs added.").arg(fresh.size())
                                    : QStringLiteral("%1 songs added; %2 were already in the list.").arg(fresh.size()).arg(already));
    return static_cast<int>(fresh.size());
}

int ListWindow::currentRow() const {
    const QList<QTableWidgetItem*> chosen = grid->selectedItems();
    return chosen.isEmpty() ? grid->currentRow() : chosen.first()->row();
}

void ListWindow::filterRows(const QString& text) {
    const QString wanted = searchable(text.trimmed());
    for (int r = 0; r < grid->rowCount(); ++r) {
        bool shown = wanted.isEmpty();
        for (int c : {0, 2, 3}) {
            if (shown) break;
            const QTableWidgetItem* item = grid->item(r, c);
            shown = item && searchable(item->text()).contains(wanted);
        }
        grid->setRowHidden(r, !shown);
    }
}

void ListWindow::AddToList() {
    QList<SongRow> added;
    QStringList leftOut;
    for (const QString& file : panes->selectedFiles()) {
        QString why;
        if (const QString problem = ListNameProblem(file); !problem.isEmpty()) {
            leftOut << file + QStringLiteral(": ") + problem;
        } else if (std::optional<SongRow> row = CatalogueSong(file, &why)) {
            added << *row;
        } else {
            leftOut << file + QStringLiteral(": ") + why;
        }
    }
    if (appendNewRows(added) > 0) grid->scrollToTop();
    tellLeftOut(leftOut);
}

void ListWindow::AddFolder() {
    if (scan_.running()) return;
    const QString folder = chooseFolder ? chooseFolder()
                                        : QFileDialog::getExistingDirectory(this, QStringLiteral("Add Folder"), panes->folder());
    if (!folder.isEmpty()) addFolders({folder});
}

void ListWindow::addFolders(const QStringList& folders) {
    if (scan_.running()) return;
    progress->setValue(0);
    progress->setFormat(QStringLiteral("Looking for songs..."));
    addedNote->clear();
    progress->show();
    cancelScanButton->show();
    addFolderButton->setEnabled(false);
    scan_.start(folders);
}

void ListWindow::scanFinished(const QList<SongRow>& rows, const QStringList& leftOut) {
    progress->hide();
    cancelScanButton->hide();
    addFolderButton->setEnabled(true);
    appendNewRows(rows);
    tellLeftOut(leftOut);
}

void ListWindow::tellLeftOut(const QStringList& leftOut) {
    tellProblems(QStringLiteral("These files were not added to the list:\n"), leftOut);
}

void ListWindow::tellProblems(const QString& heading, const QStringList& problems) {
    if (problems.isEmpty()) return;
    QStringList shown = problems.mid(0, 20);
    if (problems.size() > 20) shown << QStringLiteral("... and %1 more").arg(problems.size() - 20);
    view_.showWarning(heading + shown.join(QLatin1Char('\n')));
}

void ListWindow::ClearList() {
    grid->setRowCount(0);
}

void ListWindow::previewSong(const QString& path) {
    if (path.isEmpty()) return;
    preview->setCommand(QStringLiteral("Close"));
    preview->setFileName(path);
    preview->setCommand(QStringLiteral("Open"));
}

void ListWindow::Sing() {
    preview->setCommand(QStringLiteral("close"));
    const int row = currentRow();
    if (row < 0) return;
    const QString path = rowAt(row).fullPath();
    if (!QFileInfo(path).isFile()) {
        view_.showWarning(QStringLiteral("The song \"%1\" was not found.").arg(path));
        return;
    }
    session_.songPath = SongSession::MakeBlankFreeCopy(path);
    if (restoreMainView) restoreMainView();
    view_.sequencerControl().setFocus();
    session_.OpenAsCurrent(session_.songPath);
}

void ListWindow::insertEntry(const QString& line) {
    compilation->insertPlainText(line + QLatin1Char('\n'));
    compilation->setFocus();
}

void ListWindow::AcceptCompilation() {
    // Blanks around the text do not count; its line ends do.
    QString text = compilation->toPlainText();
    while (text.startsWith(QLatin1Char(' '))) text.remove(0, 1);
    while (text.endsWith(QLatin1Char(' '))) text.chop(1);
    if (text.isEmpty()) {
        view_.showWarning(QStringLiteral("Nothing to do"));
        if (enableAutoplay) enableAutoplay(false);
        return;
    }
    if (accepted) accepted(CompilationEntries(text));
    if (enableAutoplay) enableAutoplay(true);
    if (showMainView) showMainView();
    view_.sequencerControl().setFocus();
}

void ListWindow::DiscardCompilation() {
    compilation->clear();
    if (enableAutoplay) enableAutoplay(false);
    reopenSong();
}

void ListWindow::reopenSong() {
    preview->setCommand(QStringLiteral("close"));
    if (restoreMainView) restoreMainView();
    view_.sequencerControl().setFocus();
    if (!SongSession::IsIntroSong(session_.songPath) && !session_.songPath.isEmpty()) session_.OpenAsCurrent(session_.songPath);
}

void ListWindow::CloseWindow() {
    hide();
    reopenSong();
}

void ListWindow::closeEvent(QCloseEvent* e) {
    // Leaving by the frame is "C&lose": the song the window closed comes back.
    reopenSong();
    e->accept();
}

}  // namespace cantavo
