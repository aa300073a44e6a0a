// The list and compilation window as a karaoke host uses it, over the main window.
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "../shell/window.h"
#include "listwindow.h"
#include "smalldisk.h"

namespace cantavo::test {
namespace {

class ListEditor : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        list().defaultListPath = dir.filePath(QStringLiteral("CANTAVO.LST"));
        list().chooseFile = [this](const QString&, const QString& filter, bool save) {
            lastFilter = filter;
            lastSave = save;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
        list().chooseFolder = [this] { return answers.isEmpty() ? QString() : answers.takeFirst(); };
    }
    void TearDown() override {
        if (window) list().hide();
        Window::TearDown();
    }
    ListWindow& list() { return window->listWindow(); }
    void openEditor() {
        window->commands()[QStringLiteral("al0")]->trigger();
        QApplication::processEvents();
    }
    QString songsFolder() { return QFileInfo(demoSong("twinkle")).absolutePath(); }
    void addDemoSongs() {
        list().panes->setFolder(songsFolder());
        list().panes->files->selectAll();
        list().addButton->click();
    }
    // Adds the folders through "Add Folder..." and waits for the scan to end.
    void addFolder(const QString& folder) {
        QSignalSpy done(&list().scan(), &CatalogueScan::finished);
        answers = {folder};
        list().addFolderButton->click();
        ASSERT_TRUE(done.wait(20000));
        QApplication::processEvents();
    }
    QStringList titles() {
        QStringList t;
        for (const SongRow& r : list().rows()) t << r.title;
        return t;
    }
    static QByteArray bytesOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
    QStringList answers;
    QString lastFilter;
    bool lastSave = false;
};

TEST_F(ListEditor, OpeningHidesTheMainViewAndLoadsTheDefaultList) {
    QFile::copy(QStringLiteral(CANTAVO_LIST_DATA "/sample.lst"), list().defaultListPath);
    open(demoSong("twinkle"));
    openEditor();
    ListWindow& w = list();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.objectName(), QStringLiteral("Form2"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Edit List / Compilation"));
    EXPECT_FALSE(window->toolbar().isVisible());
    EXPECT_FALSE(window->panelShown());
    EXPECT_EQ(window->compilationIndex, 0);
    ASSERT_EQ(w.rows().size(), 2);
    EXPECT_EQ(w.rows()[0].title, QStringLiteral("Frère Jacques"));
    EXPECT_EQ(w.rows()[1].title, QStringLiteral("Title, with comma"));

    const QStringList headings{QStringLiteral("File Name"), QStringLiteral("Length"), QStringLiteral("Title"), QStringLiteral("Author"), QStringLiteral("Path")};
    const int widths[] = {80, 60, 180, 180, 180};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(w.grid->horizontalHeaderItem(c)->text(), headings[c]);
        EXPECT_EQ(w.grid->columnWidth(c), widths[c]);
    }
    EXPECT_TRUE(w.grid->isColumnHidden(5));
    const QList<std::pair<const char*, const char*>> buttons{{"Command1", "&Add to List"}, {"Command9", "&Clear List"}, {"Command7", "&Sing"},
                                                             {"Command5", "Co&mm."},       {"Command3", "&Pause"},      {"Command4", "S&ound"},
                                                             {"Command8", "&Picture"},     {"Command6", "&OK"},         {"Command2", "&Cancel"}};
    for (const auto& [name, caption] : buttons) {
        auto* b = w.findChild<QPushButton*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
        ASSERT_TRUE(b) << name;
        EXPECT_EQ(b->text(), QString::fromLatin1(caption));
    }
    for (const char* name : {"Drive1", "Dir1", "File1", "MMControl1", "Text1", "Grid1"}) EXPECT_TRUE(w.findChild<QWidget*>(QString::fromLatin1(name))) << name;
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Compilation"));
    const QStringList items{QStringLiteral("&Open List"), QStringLiteral("&Save List"), QStringLiteral("Open &Compilation"),
                            QStringLiteral("Sa&ve Compilation"), QStringLiteral("Make &Report"), QString(), QStringLiteral("C&lose")};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(w.findChild<QAction*>(QStringLiteral("li%1").arg(i))->text(), items[i]) << i;
    EXPECT_EQ(w.findChild<QAction*>(QStringLiteral("edit2"))->text(), QStringLiteral("&Paste"));
    // The places: the root and the home folder at least.
    EXPECT_EQ(w.panes->places->itemData(0).toString(), QStringLiteral("/"));
    EXPECT_EQ(w.panes->places->itemData(1).toString(), QDir::homePath());
}

TEST_F(ListEditor, AddingSongsAndFolders) {
    openEditor();
    list().ClearList();
    list().panes->setFolder(songsFolder());
    EXPECT_EQ(list().panes->files->count(), 3) << "*.kar";
    list().panes->setFolder(QFileInfo(fixture("golden")).absolutePath());
    EXPECT_EQ(list().panes->files->count(), 0) << "no .kar among the fixtures";
    list().panes->pattern->setCurrentIndex(1);
    EXPECT_GT(list().panes->files->count(), 30) << "*.kar *.mid *.midi";
    list().panes->pattern->setCurrentIndex(0);
    addDemoSongs();
    ASSERT_EQ(list().rows().size(), 3);
    const SongRow first = list().rows()[0];
    EXPECT_EQ(first.fileName, QStringLiteral("frere-jacques.kar"));
    EXPECT_EQ(first.length, QStringLiteral("00:42"));
    EXPECT_EQ(first.title, QStringLiteral("Frère Jacques"));
    EXPECT_EQ(first.author, QStringLiteral("Chanson traditionnelle"));
    EXPECT_EQ(first.path, songsFolder() + QLatin1Char('/'));

    BoxCatcher boxes;
    addFolder(QFileInfo(fixture("golden")).absolutePath());
    EXPECT_GT(list().rows().size(), 30);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].contains(QStringLiteral("not-midi.mid: not a MIDI file"))) << boxes.texts[0].toStdString();
    EXPECT_FALSE(list().progress->isVisible());
}

// A folder added again, or songs added again, are not listed twice; the window says how
// many were already there.
TEST_F(ListEditor, SongsAlreadyInTheListAreNotAddedAgain) {
    openEditor();
    list().ClearList();
    addDemoSongs();
    EXPECT_EQ(list().addedNote->text(), QStringLiteral("3 songs added."));
    addFolder(songsFolder());
    EXPECT_EQ(list().rows().size(), 3);
    EXPECT_EQ(list().addedNote->text(), QStringLiteral("0 songs added; 3 were already in the list."));
    addDemoSongs();
    EXPECT_EQ(list().rows().size(), 3);
    // The same name in another folder is another song.
    QDir(dir.path()).mkdir(QStringLiteral("copy"));
    QFile::copy(demoSong("twinkle"), dir.filePath(QStringLiteral("copy/twinkle.kar")));
    addFolder(dir.filePath(QStringLiteral("copy")));
    EXPECT_EQ(list().rows().size(), 4);
    EXPECT_EQ(list().addedNote->text(), QStringLiteral("1 songs added."));
}

// Each click on a heading turns the order; names sort as a reader expects them.
TEST_F(ListEditor, HeadingsSortAsPeopleRead) {
    openEditor();
    list().ClearList();
    const QStringList names = {QStringLiteral("Village People"), QStringLiteral("bon jovi"), QStringLiteral("Track 10"),
                               QStringLiteral("Track 2"), QStringLiteral("Émile"), QStringLiteral("abba")};
    QList<SongRow> rows;
    for (const QString& n : names) rows << SongRow{n + QStringLiteral(".kar"), QStringLiteral("01:00"), n, n, dir.path() + QLatin1Char('/')};
    list().appendRows(rows);
    QHeaderView* header = list().grid->horizontalHeader();
    const auto click = [&](int column) { QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(column) + 5, 5)); };
    const QStringList ascending = {QStringLiteral("abba"), QStringLiteral("bon jovi"), QStringLiteral("Émile"), QStringLiteral("Track 2"),
                                   QStringLiteral("Track 10"), QStringLiteral("Village People")};
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    click(2);
    EXPECT_EQ(titles(), ascending);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    click(2);
    EXPECT_EQ(titles(), descending) << "a second click on the same heading turns the order";
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    click(2);
    EXPECT_EQ(titles(), ascending);
    click(3);
    EXPECT_EQ(titles(), ascending) << "another heading starts from A";
    click(3);
    EXPECT_EQ(titles(), descending);
}

TEST_F(ListEditor, ACancelledScanKeepsWhatItFound) {
    // Many copies of a song in many folders: long enough to stop in the middle.
    QDir root(dir.path());
    for (int f = 0; f < 20; ++f) {
        const QString sub = QStringLiteral("f%1").arg(f, 2, 10, QLatin1Char('0'));
        root.mkdir(sub);
        for (int s = 0; s < 50; ++s) QFile::copy(demoSong("frere-jacques"), root.filePath(sub + QStringLiteral("/s%1.kar").arg(s)));
    }
    openEditor();
    list().ClearList();
    QSignalSpy done(&list().scan(), &CatalogueScan::finished);
    // Stopped as soon as it tells of its first songs, on the scan's own thread, so that it
    // cannot have finished first however fast the machine is.
    QObject::connect(&list().scan(), &CatalogueScan::progress, &list().scan(), [this] { list().scan().cancel(); }, Qt::DirectConnection);
    answers = {dir.path()};
    list().addFolderButton->click();
    EXPECT_TRUE(list().cancelScanButton->isVisibleTo(&list()));
    ASSERT_TRUE(done.wait(10000));
    EXPECT_TRUE(list().scan().cancelled());
    QApplication::processEvents();
    const qsizetype kept = list().rows().size();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 1000);
    EXPECT_TRUE(list().addFolderButton->isEnabled());
    // The button is what stops it for the host.
    list().cancelScanButton->click();
    EXPECT_TRUE(list().scan().cancelled());
}

TEST_F(ListEditor, SearchSortAndSaveInTheGridsOrder) {
    openEditor();
    list().ClearList();
    addDemoSongs();
    list().search->setText(QStringLiteral("frere"));
    int shown = 0;
    for (int r = 0; r < list().grid->rowCount(); ++r) shown += list().grid->isRowHidden(r) ? 0 : 1;
    EXPECT_EQ(shown, 1) << "accents and case do not matter";
    list().search->setText(QStringLiteral("FOSTER"));
    EXPECT_FALSE(list().grid->isRowHidden(1));
    EXPECT_TRUE(list().grid->isRowHidden(0));
    // Sorting by title, descending, with a row hidden: saving keeps every row in that order.
    list().grid->sortByColumn(2, Qt::DescendingOrder);
    EXPECT_EQ(titles(), (QStringList{QStringLiteral("Twinkle, Twinkle, Little Star"), QStringLiteral("Oh! Susanna"), QStringLiteral("Frère Jacques")}));
    const QString saved = dir.filePath(QStringLiteral("sorted.lst"));
    answers = {saved};
    list().SaveList();
    EXPECT_EQ(ReadListFile(saved), list().rows());
    EXPECT_EQ(lastFilter, QStringLiteral("All files (*.*)|*.*|Karaoke files list (*.lst)|*.lst"));
    list().search->clear();
    for (int r = 0; r < list().grid->rowCount(); ++r) EXPECT_FALSE(list().grid->isRowHidden(r));
}

TEST_F(ListEditor, ListFilesWithTheirQuestions) {
    openEditor();
    list().ClearList();
    {
        BoxCatcher boxes;
        list().SaveList();
        list().MakeReport();
        EXPECT_EQ(boxes.texts, (QStringList{QStringLiteral("List is empty"), QStringLiteral("List is Empty")}));
    }
    addDemoSongs();
    const QString saved = dir.filePath(QStringLiteral("mine.lst"));
    answers = {saved};
    list().SaveList();
    const QList<SongRow> before = list().rows();
    // Saving over it: No asks again (cancelled here), Yes writes.
    {
        BoxCatcher no(QMessageBox::No);
        answers = {saved};
        list().SaveList();
        EXPECT_EQ(no.texts, QStringList(QStringLiteral("Overwrite existing file?")));
    }
    // Opening a list over a full one: No keeps the rows, Yes replaces them.
    list().ClearList();
    addDemoSongs();
    list().appendRows({SongRow{QStringLiteral("x.kar"), QStringLiteral("00:01"), QStringLiteral("X"), QStringLiteral("-"), QStringLiteral("/x/")}});
    {
        BoxCatcher no(QMessageBox::No);
        answers = {saved};
        list().OpenList();
        EXPECT_EQ(no.texts, QStringList(QStringLiteral("Clear List")));
        EXPECT_EQ(no.icons.first(), QMessageBox::Question);
    }
    EXPECT_EQ(list().rows().size(), 4);
    {
        BoxCatcher yes(QMessageBox::Yes);
        answers = {saved};
        list().OpenList();
    }
    EXPECT_EQ(list().rows(), before);
    // A list opened from the file manager: the editor shows it, asking first over other rows.
    list().ClearList();
    window->openFromOutside(saved);
    EXPECT_TRUE(list().isVisible());
    EXPECT_EQ(list().rows(), before);
    list().appendRows({SongRow{QStringLiteral("x.kar"), QStringLiteral("00:01"), QStringLiteral("X"), QStringLiteral("-"), QStringLiteral("/x/")}});
    {
        BoxCatcher no(QMessageBox::No);
        window->openFromOutside(saved);
        EXPECT_EQ(no.texts, QStringList(QStringLiteral("Clear List")));
        EXPECT_EQ(list().rows().size(), before.size() + 1);
    }
    list().ClearList();
    window->openFromOutside(saved);
    // The report of the grid's rows.
    const QString report = dir.filePath(QStringLiteral("report.txt"));
    answers = {report};
    list().MakeReport();
    EXPECT_EQ(lastFilter, QStringLiteral("All Files (*.*)|*.*|Song Lists (*.txt)|*.txt"));
    const QByteArray written = bytesOf(report);
    const QByteArray expected = ReportBytes(before, QDateTime::currentDateTime());
    EXPECT_EQ(written.left(written.lastIndexOf("           at ")), expected.left(expected.lastIndexOf("           at ")));
    // A list that cannot be written says so.
    {
        BoxCatcher boxes;
        answers = {dir.filePath(QStringLiteral("no/such/folder/x.lst"))};
        list().SaveList();
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(boxes.texts[0].contains(QStringLiteral("could not be written")));
    }
}

// A host's list on a full USB stick, with a damaged line and a song named badly: nothing of
// it is lost in silence.
TEST_F(ListEditor, ListsOnAFullDiskAndWithDamagedLines) {
    openEditor();
    list().ClearList();
    addDemoSongs();
    const QList<SongRow> demo = list().rows();
    // A damaged second line: its neighbours are read, and the window names it.
    const QString damaged = dir.filePath(QStringLiteral("damaged.lst"));
    {
        QFile f(damaged);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray whole = ListFileBytes(demo);
        const qsizetype cut = whole.indexOf("\r\n") + 2;
        f.write(whole.left(cut) + "\"half a row\r\n" + whole.mid(cut));
    }
    {
        BoxCatcher boxes(QMessageBox::Yes);
        answers = {damaged};
        list().OpenList();
        ASSERT_EQ(boxes.texts.size(), 2);
        EXPECT_EQ(boxes.texts[1], QStringLiteral("Some of the list could not be read:\n") + damaged + QStringLiteral(": line 2 cannot be read"));
    }
    EXPECT_EQ(list().rows(), demo);
    // A row the list format cannot hold is left out of the file, and said.
    list().appendRows({SongRow{QStringLiteral("two\nlines.kar"), QStringLiteral("00:01"), QStringLiteral("X"), QStringLiteral("-"), QStringLiteral("/x/")}});
    const QString saved = dir.filePath(QStringLiteral("saved.lst"));
    {
        BoxCatcher boxes;
        answers = {saved};
        list().SaveList();
        ASSERT_EQ(boxes.texts.size(), 1);
        EXPECT_TRUE(boxes.texts[0].endsWith(QStringLiteral("/x/two\nlines.kar: a line break in its name cannot be kept in a list")))
            << boxes.texts[0].toStdString();
    }
    EXPECT_EQ(ReadListFile(saved), demo);
    // The stick is full: the old list stays whole and the window says why.
    SmallDisk disk;
    NEED_SMALL_DISK(disk);
    const QString onStick = disk.path(QStringLiteral("evening.lst"));
    ASSERT_TRUE(QFile::copy(saved, onStick));
    disk.fill();
    {
        BoxCatcher boxes(QMessageBox::Yes);
        answers = {onStick};
        list().SaveList();
        ASSERT_EQ(boxes.texts.size(), 2);
        EXPECT_EQ(boxes.texts[0], QStringLiteral("Overwrite existing file?"));
        EXPECT_EQ(boxes.texts[1], onStick + QStringLiteral(" could not be written: No space left on device"));
    }
    EXPECT_EQ(ReadListFile(onStick), demo);
}

TEST_F(ListEditor, ComposingAndAcceptingACompilation) {
    open(demoSong("twinkle"));
    openEditor();
    ListWindow& w = list();
    w.compilation->clear();
    {
        BoxCatcher boxes;
        w.compilation->setPlainText(QStringLiteral("   "));
        w.okButton->click();
        EXPECT_EQ(boxes.texts, QStringList(QStringLiteral("Nothing to do")));
    }
    w.compilation->clear();
    w.ClearList();
    addDemoSongs();
    w.panes->setFolder(songsFolder());
    emit w.panes->files->itemActivated(w.panes->files->item(2));
    emit w.grid->cellDoubleClicked(0, 0);
    w.commentButton->click();
    w.commentDialog->text->setText(QStringLiteral("Intermission"));
    w.commentDialog->ok->click();
    w.pauseButton->click();
    EXPECT_EQ(w.pauseDialog->text->text(), QStringLiteral("3"));
    w.pauseDialog->up->click();
    w.pauseDialog->ok->click();
    answers = {QStringLiteral("/sounds/Cheer Up.wav")};
    w.soundButton->click();
    EXPECT_EQ(lastFilter, QStringLiteral("All Files (*.*)|*.*|Sounds (*.wav)|*.wav"));
    answers = {QStringLiteral("/pictures/stage.png")};
    w.pictureButton->click();
    const QString folder = songsFolder() + QLatin1Char('/');
    const QString text = QStringLiteral("KARAOKE ") + folder + QStringLiteral("twinkle.kar\nKARAOKE ") + folder +
                         QStringLiteral("frere-jacques.kar\nCOMMENT: Intermission\nPAUSE 4\nWAVE /sounds/Cheer Up.wav\nBACKGROUND /pictures/stage.png\n");
    EXPECT_EQ(w.compilation->toPlainText(), text);

    // Kept and read back.
    const QString cpl = dir.filePath(QStringLiteral("friday.cpl"));
    answers = {cpl};
    w.SaveCompilation();
    EXPECT_EQ(bytesOf(cpl), QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toUtf8() + "\r\n");
    {
        BoxCatcher no(QMessageBox::No);
        answers = {cpl};
        w.OpenCompilation();
        EXPECT_EQ(no.texts, QStringList(QStringLiteral("Clear Compilation")));
        EXPECT_EQ(w.compilation->toPlainText(), text);
    }

    w.okButton->click();
    EXPECT_EQ(window->compilationCount, 6);
    EXPECT_EQ(window->compilationEntries.value(3), QStringLiteral("PAUSE 4"));
    EXPECT_EQ(window->compilationIndex, 0);
    EXPECT_TRUE(window->commands().wanted(QStringLiteral("al1")));
    EXPECT_TRUE(window->commands().wanted(QStringLiteral("Command4")));
    EXPECT_TRUE(window->toolbar().isVisible());
    EXPECT_TRUE(window->panelShown());

    // Cancel empties the compilation and gives the song back.
    openEditor();
    EXPECT_EQ(window->compilationIndex, 0);
    w.cancelButton->click();
    EXPECT_TRUE(w.compilation->toPlainText().isEmpty());
    EXPECT_FALSE(window->commands().wanted(QStringLiteral("Command4")));
    EXPECT_TRUE(window->session().songLoaded());
    EXPECT_TRUE(window->toolbar().isVisible());
}

TEST_F(ListEditor, SingStartsTheSongAndAMissingSongIsSaidSo) {
    openEditor();
    list().ClearList();
    addDemoSongs();
    list().grid->selectRow(1);
    list().singButton->click();
    EXPECT_EQ(window->session().songPath, demoSong("oh-susanna"));
    EXPECT_TRUE(window->session().songLoaded());
    EXPECT_TRUE(window->toolbar().isVisible());
    for (const char* on : {"mnfileitem3", "sav", "edt", "ifa1", "Command1", "tb10"})
        EXPECT_TRUE(window->commands().wanted(QString::fromLatin1(on))) << on;

    list().appendRows({SongRow{QStringLiteral("gone.kar"), QStringLiteral("00:01"), QStringLiteral("Gone"), QStringLiteral("-"), dir.path() + QLatin1Char('/')}});
    list().grid->selectRow(3);
    BoxCatcher boxes;
    list().singButton->click();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].contains(QStringLiteral("gone.kar")));
    EXPECT_EQ(window->session().songPath, demoSong("oh-susanna"));
}

TEST_F(ListEditor, EditMenuWorksOnTheActiveControl) {
    openEditor();
    ListWindow& w = list();
    w.compilation->setPlainText(QStringLiteral("PAUSE 10"));
    w.activateWindow();
    w.compilation->setFocus();
    w.compilation->selectAll();
    w.findChild<QAction*>(QStringLiteral("edit1"))->trigger();
    EXPECT_TRUE(w.compilation->toPlainText().isEmpty());
    w.findChild<QAction*>(QStringLiteral("edit2"))->trigger();
    EXPECT_EQ(w.compilation->toPlainText(), QStringLiteral("PAUSE 10"));
}

TEST_F(ListEditor, AsAHostSeesIt) {
    openEditor();
    ListWindow& w = list();
    w.ClearList();
    QList<SongRow> many;
    const QStringList titles{QStringLiteral("Blue Moon"), QStringLiteral("Über den Wolken"), QStringLiteral("Ça plane pour moi"),
                             QStringLiteral("Volare"), QStringLiteral("Hotel California")};
    for (int i = 0; i < 40; ++i)
        many << SongRow{QStringLiteral("song%1.kar").arg(i + 1, 2, 10, QLatin1Char('0')), QStringLiteral("0%1:%2").arg(2 + i % 4).arg(10 + i, 2, 10, QLatin1Char('0')),
                        titles[i % 5] + (i >= 5 ? QStringLiteral(" (%1)").arg(i / 5 + 1) : QString()), QStringLiteral("Artist %1").arg(i % 7),
                        QStringLiteral("/home/host/karaoke/%1/").arg(i < 20 ? QStringLiteral("pop") : QStringLiteral("classics"))};
    w.appendRows(many);
    w.compilation->setPlainText(QStringLiteral("COMMENT: Friday night\nKARAOKE /home/host/karaoke/pop/song01.kar\nPAUSE 5\n"
                                               "WAVE /home/host/sounds/APPL.WAV\nKARAOKE /home/host/karaoke/pop/song02.kar\n"));
    w.panes->setFolder(songsFolder());
    QApplication::processEvents();
    QDir().mkpath(QStringLiteral(CANTAVO_SHOTS_DIR));
    w.grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/list-window.png"));
    w.resize(800, 600);
    QApplication::processEvents();
    w.grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/list-window-800x600.png"));
    EXPECT_EQ(w.size(), QSize(800, 600)) << "fits a small screen";
}

}  // namespace
}  // namespace cantavo::test
