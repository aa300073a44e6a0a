// The modification and patch dialogs as the singer uses them, over the main window.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cmath>
#include <QToolButton>

#include "../shell/window.h"
#include "cli.h"
#include "modifydialog.h"
#include "rewriter.h"
#include "songreader.h"

namespace cantavo::test {
namespace {

class ModifyWindow : public Window {
protected:
    void SetUp() override {
        Window::SetUp();
        qputenv("TMPDIR", temp.path().toLocal8Bit());
        song = QDir(work.path()).filePath(QStringLiteral("frere.kar"));
        QFile::copy(demoSong("frere-jacques"), song);
        open(song);
        ASSERT_TRUE(window->session().songLoaded());
    }
    void TearDown() override {
        if (window) window->modifyDialog().hide();
        Window::TearDown();
        qunsetenv("TMPDIR");
    }
    ModifyDialog& dialog() { return window->modifyDialog(); }
    void openDialog() {
        window->commands()[QStringLiteral("edt")]->trigger();
        QApplication::processEvents();
    }
    QString cell(int track, int column) {
        QTableWidgetItem* item = dialog().grid->item(track - 1, column);
        return item ? item->text() : QString();
    }
    void shotOf(QWidget* w, const QString& name) {
        QDir().mkpath(QStringLiteral(CANTAVO_SHOTS_DIR));
        w->grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/") + name + QStringLiteral(".png"));
    }
    QTemporaryDir temp, work;
    QString song;
};

TEST_F(ModifyWindow, OpeningClosesTheSongAndFillsTheTrackList) {
    openDialog();
    ModifyDialog& d = dialog();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.objectName(), QStringLiteral("Form8"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Modify .KAR"));
    EXPECT_FALSE(window->toolbar().isVisible());
    EXPECT_FALSE(window->panelShown());
    EXPECT_FALSE(window->session().songLoaded());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Cantavo!: file not open"));

    auto* grid = d.findChild<QTableWidget*>(QStringLiteral("Grid1"));
    ASSERT_TRUE(grid);
    ASSERT_EQ(grid->rowCount(), 7);
    const QStringList headings{QStringLiteral("#"), QStringLiteral("Track Name"), QStringLiteral("Chan."), QStringLiteral("MUTE"), QStringLiteral("Patch")};
    const int widths[] = {33, 233, 40, 47, 243};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(grid->horizontalHeaderItem(c)->text(), headings[c]);
        if (c < 4) EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
        else EXPECT_GE(grid->columnWidth(c), widths[c]);
    }
    EXPECT_TRUE(grid->isColumnHidden(5));
    EXPECT_EQ(cell(1, 0), QStringLiteral("1"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("Frere Jacques"));
    EXPECT_EQ(cell(2, 2), QStringLiteral("-"));
    EXPECT_EQ(cell(3, 1), QStringLiteral("Voice 1"));
    EXPECT_EQ(cell(3, 2), QStringLiteral("1"));
    EXPECT_EQ(cell(3, 4), QStringLiteral(" 72 - Clarinet "));
    EXPECT_EQ(cell(3, 5), QStringLiteral("71"));
    EXPECT_EQ(cell(7, 2), QStringLiteral("10"));
    EXPECT_EQ(cell(7, 4), QStringLiteral("-"));

    const QList<QSlider*> sliders = d.findChildren<QSlider*>(QStringLiteral("Slider1"));
    ASSERT_EQ(sliders.size(), 16);
    for (QSlider* s : sliders) {
        EXPECT_EQ(s->orientation(), Qt::Vertical);
        EXPECT_EQ(s->minimum(), 0);
        EXPECT_EQ(s->maximum(), 200);
        EXPECT_EQ(s->value(), 100);
    }
    const QList<QLabel*> labels = d.findChildren<QLabel*>(QStringLiteral("Label1"), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(labels.size(), 16);
    EXPECT_EQ(labels.first()->text(), QStringLiteral("01"));
    EXPECT_EQ(labels.last()->text(), QStringLiteral("16"));
    EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("Label7"))->text(), QStringLiteral("Mixer"));
    EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), QStringLiteral("0"));
    EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("Text2"))->text(), QStringLiteral("0"));
    EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("Text3"))->text(), QStringLiteral("10"));
    EXPECT_TRUE(d.findChild<QCheckBox*>(QStringLiteral("Check3D1"))->isChecked());
    EXPECT_EQ(d.findChild<QPushButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("&Modify"));
    EXPECT_EQ(d.findChild<QPushButton*>(QStringLiteral("Command2"))->text(), QStringLiteral("&Cancel"));
    shotOf(&d, QStringLiteral("modify-dialog"));
    d.resize(640, 480);
    d.sliders[3]->setValue(60);
    QApplication::processEvents();
    EXPECT_EQ(d.size(), QSize(640, 480));
    EXPECT_EQ(d.sliders[3]->toolTip(), QStringLiteral("Channel 4: 60 % (Voice 2)"));
    shotOf(&d, QStringLiteral("modify-dialog-640x480"));
    // At the smallest size every control still has room.
    for (QWidget* w : std::initializer_list<QWidget*>{d.modifyButton, d.cancelButton, d.keepCheck, d.keepChannel, d.tempo, d.transpose})
        EXPECT_TRUE(d.rect().contains(w->geometry())) << w->objectName().toStdString();
}

TEST_F(ModifyWindow, MuteAndPatchDoubleClicks) {
    openDialog();
    ModifyDialog& d = dialog();
    {
        BoxCatcher boxes;
        d.cellDoubleClicked(2, 3);
        EXPECT_EQ(boxes.texts, QStringList(QStringLiteral("This track can't be muted")));
        EXPECT_EQ(boxes.icons.first(), QMessageBox::Warning);
    }
    EXPECT_EQ(cell(2, 3), QString());
    d.cellDoubleClicked(4, 3);
    EXPECT_EQ(cell(4, 3), QStringLiteral("X"));
    d.cellDoubleClicked(4, 3);
    EXPECT_EQ(cell(4, 3), QString());

    // No patch dialog for the first two rows or a track without a patch.
    for (int row : {1, 2, 7}) {
        d.cellDoubleClicked(row, 4);
        EXPECT_FALSE(d.patchDialog().isVisible()) << row;
    }
    d.cellDoubleClicked(4, 4);
    PatchDialog& p = d.patchDialog();
    ASSERT_TRUE(p.isVisible());
    EXPECT_EQ(p.objectName(), QStringLiteral("Form9"));
    EXPECT_EQ(p.windowTitle(), QStringLiteral("Change Patch"));
    EXPECT_EQ(p.current->text(), QStringLiteral(" 69 - Oboe "));
    auto* combo = p.findChild<QComboBox*>(QStringLiteral("Combo1"));
    ASSERT_EQ(combo->count(), 128);
    EXPECT_EQ(combo->currentIndex(), 68);
    EXPECT_EQ(combo->itemText(0), QStringLiteral(" 1 -  Acoustic Grand Piano "));
    shotOf(&p, QStringLiteral("patch-dialog"));
    // Cancel changes nothing.
    combo->setCurrentIndex(3);
    p.cancel->click();
    EXPECT_FALSE(p.isVisible());
    EXPECT_EQ(cell(4, 4), QStringLiteral(" 69 - Oboe "));
    EXPECT_EQ(d.patchChanged().value(3), 0);
    // OK writes the choice.
    d.cellDoubleClicked(4, 4);
    EXPECT_EQ(combo->currentIndex(), 68) << "the track's patch, not the last one looked at";
    combo->setCurrentIndex(40);
    p.ok->click();
    EXPECT_EQ(cell(4, 4), QStringLiteral(" 41 -  Violin "));
    EXPECT_EQ(cell(4, 5), QStringLiteral("40"));
    EXPECT_EQ(d.patchChanged().value(3), 1);
}

// After "Modify" slows the song down, the tempo shown is the new song's, as it plays.
TEST_F(ModifyWindow, TheTempoShownFollowsAModifiedTempo) {
    play();
    advance(0.5);
    const QString before = window->panel().tempo->text();
    const int own = before.trimmed().section(QLatin1Char(' '), 0, 0).toInt();
    ASSERT_GT(own, 0) << before.toStdString();
    openDialog();
    ModifyDialog& d = dialog();
    d.tempo->setText(QStringLiteral("-10"));
    d.modifyButton->click();
    QApplication::processEvents();
    ASSERT_TRUE(window->session().songLoaded());
    play();
    advance(0.5);
    EXPECT_EQ(window->panel().tempo->text(), QStringLiteral(" %1 bpm").arg(static_cast<int>(std::lround(own * 0.9))))
        << window->session().songPath.toStdString() << " map " << window->session().song.tempoBpm[1] << " seq " << window->sequencerControl().sequencer()->tempoBpm();
}

TEST_F(ModifyWindow, SpinButtonsStepWithoutLimits) {
    openDialog();
    ModifyDialog& d = dialog();
    for (int i = 0; i < 2; ++i) d.tempoSpin->upButton->click();
    EXPECT_EQ(d.tempo->text(), QStringLiteral("2"));
    for (int i = 0; i < 5; ++i) d.transposeSpin->downButton->click();
    EXPECT_EQ(d.transpose->text(), QStringLiteral("-5"));
    d.tempo->setText(QStringLiteral("12.5 percent"));
    d.tempoSpin->upButton->click();
    EXPECT_EQ(d.tempo->text(), QStringLiteral("13.5"));
    d.transpose->setText(QStringLiteral("key"));
    d.transposeSpin->upButton->click();
    EXPECT_EQ(d.transpose->text(), QStringLiteral("1"));
}

TEST_F(ModifyWindow, RefusalsWriteNothing) {
    openDialog();
    ModifyDialog& d = dialog();
    {
        BoxCatcher boxes;
        d.modifyButton->click();
        EXPECT_EQ(boxes.texts, QStringList(QStringLiteral("Nothing to do!")));
    }
    for (int row = 4; row <= 7; ++row) d.cellDoubleClicked(row, 3);
    {
        BoxCatcher boxes;
        d.modifyButton->click();
        EXPECT_EQ(boxes.texts, QStringList(QStringLiteral("Muting all tracks would result in an empty file!")));
    }
    d.cellDoubleClicked(7, 3);
    d.tempo->setText(QStringLiteral("-100"));
    {
        BoxCatcher boxes;
        d.modifyButton->click();
        EXPECT_EQ(boxes.texts, QStringList(QStringLiteral("Error in modifying file")));
    }
    EXPECT_FALSE(QFileInfo::exists(QDir(work.path()).filePath(QStringLiteral("frere.ktf"))));
    EXPECT_TRUE(window->toolbar().isVisible()) << "the main view comes back after an error";
}

TEST_F(ModifyWindow, ModifyWritesTheSongAndSingsIt) {
    openDialog();
    ModifyDialog& d = dialog();
    d.transposeSpin->upButton->click();
    d.transposeSpin->upButton->click();
    d.sliders[0]->setValue(50);
    d.tempo->setText(QStringLiteral("10"));
    d.cellDoubleClicked(6, 3);
    d.cellDoubleClicked(4, 4);
    d.patchDialog().combo->setCurrentIndex(40);
    d.patchDialog().ok->click();
    {
        BoxCatcher boxes;
        d.modifyButton->click();
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(QLatin1Char('|')).toStdString();
    }
    const QString ktf = QDir(work.path()).filePath(QStringLiteral("frere.ktf"));
    ASSERT_TRUE(QFileInfo::exists(ktf));
    // The bytes of the rewriter for the same settings.
    const SongChunks chunks = ReadSongChunks(fileBytes(song));
    QList<TrackEdit> edits;
    for (const HeldChunk& c : chunks.chunks) edits << EditFor(AnalyseTrack(c.bytes, 10));
    edits[5].muted = true;
    edits[3].patchChanged = true;
    edits[3].program = 40;
    ModifySettings s;
    s.transpose = 2;
    s.mixer[0] = 50;
    s.tempoPercent = 10;
    EXPECT_EQ(fileBytes(ktf), WriteModifiedSong(chunks, edits, s));

    EXPECT_EQ(window->session().songPath, ktf);
    EXPECT_TRUE(window->session().songLoaded());
    EXPECT_EQ(window->session().songReady, 1);
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Fr"))) << window->windowTitle().toStdString();
    for (const char* on : {"mnfileitem2", "mnfileitem3", "sav", "Command1", "tb4"})
        EXPECT_TRUE(window->commands().wanted(QString::fromLatin1(on))) << on;
    EXPECT_TRUE(window->toolbar().isVisible());
    EXPECT_TRUE(window->panelShown());
    EXPECT_TRUE(d.isVisible()) << "the dialog stays, behind the lyrics";
    // It plays: the clock moves through the modified song.
    play();
    advance(1.0);
    EXPECT_GT(window->sequencerControl().position(), 500);

    // The working file goes when the program ends, though the song's folder is not current.
    QDir::setCurrent(temp.path());
    window->ButtonExit();
    EXPECT_FALSE(QFileInfo::exists(ktf));
}

TEST_F(ModifyWindow, UnwritableFolderPutsTheWorkingFileInTheTemporaryFolder) {
    // A folder in the way of the working file: it cannot be written there.
    QDir(work.path()).mkdir(QStringLiteral("frere.ktf"));
    openDialog();
    dialog().tempo->setText(QStringLiteral("5"));
    dialog().modifyButton->click();
    const QString fallback = QDir(SongSession::TemporaryFolder()).filePath(QStringLiteral("frere.ktf"));
    EXPECT_EQ(window->session().songPath, fallback);
    EXPECT_TRUE(QFileInfo(fallback).isFile());
    EXPECT_TRUE(window->session().songLoaded());
}

TEST_F(ModifyWindow, CancelAndClosingGiveTheSongBack) {
    openDialog();
    dialog().cancelButton->click();
    EXPECT_TRUE(window->session().songLoaded());
    EXPECT_EQ(window->session().songPath, song);
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("Panel3D5"))->text(), QStringLiteral("00:00"));
    EXPECT_TRUE(window->findChild<QLabel*>(QStringLiteral("Panel3D7"))->text().endsWith(QStringLiteral(" bpm")));
    EXPECT_TRUE(window->toolbar().isVisible());
    EXPECT_TRUE(window->commands()[QStringLiteral("edt")]->isEnabled()) << "the song can be modified again";
    openDialog();
    dialog().close();
    EXPECT_TRUE(window->session().songLoaded());
    EXPECT_TRUE(window->panelShown());
}

TEST_F(ModifyWindow, SaveAsKeepsTheModifiedSong) {
    // Only a modified song is saved this way.
    window->chooseSaveAsFile = [] { return QString(); };
    window->commands()[QStringLiteral("sav")]->trigger();
    EXPECT_EQ(window->session().songPath, song);
    EXPECT_TRUE(window->session().songLoaded());

    openDialog();
    dialog().tempo->setText(QStringLiteral("-20"));
    dialog().modifyButton->click();
    const QString ktf = window->session().songPath;
    ASSERT_TRUE(ktf.endsWith(QStringLiteral(".ktf")));
    const QString kept = QDir(work.path()).filePath(QStringLiteral("Slow Frere.kar"));
    QStringList answers{kept};
    window->chooseSaveAsFile = [&] { return answers.isEmpty() ? QString() : answers.takeFirst(); };
    window->commands()[QStringLiteral("sav")]->trigger();
    EXPECT_EQ(fileBytes(kept), fileBytes(ktf));
    EXPECT_TRUE(window->session().songLoaded());
    EXPECT_TRUE(QFileInfo(window->session().songPath).fileName().startsWith(QStringLiteral("Slow")));

    // An existing file: No asks again (here: cancelled), Yes writes over it.
    QFile other(QDir(work.path()).filePath(QStringLiteral("other.kar")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("keep me");
    other.close();
    ASSERT_TRUE(window->session().OpenAsCurrent(ktf));
    answers = {other.fileName()};
    {
        BoxCatcher no(QMessageBox::No);
        window->SaveAs();
        EXPECT_EQ(no.texts, QStringList(QStringLiteral("Overwrite existing file?")));
        EXPECT_EQ(no.icons.first(), QMessageBox::Question);
    }
    EXPECT_EQ(fileBytes(other.fileName()), QByteArray("keep me"));
    EXPECT_EQ(window->session().songPath, ktf) << "cancelled: the modified song is back";
    EXPECT_TRUE(window->session().songLoaded());
    answers = {other.fileName()};
    {
        BoxCatcher yes(QMessageBox::Yes);
        window->SaveAs();
    }
    EXPECT_EQ(fileBytes(other.fileName()), fileBytes(ktf));
    EXPECT_EQ(window->session().songPath, other.fileName());
}

TEST_F(ModifyWindow, DamagedSongIsRewrittenWhole) {
    const QString damaged = QDir(work.path()).filePath(QStringLiteral("damaged.mid"));
    QFile::copy(fixture("wrong-chunk-length"), damaged);
    open(damaged);
    openDialog();
    ASSERT_EQ(dialog().grid->rowCount(), 3);
    EXPECT_EQ(cell(2, 1), QStringLiteral("Words"));
    dialog().tempo->setText(QStringLiteral("10"));
    {
        BoxCatcher boxes;
        dialog().modifyButton->click();
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(QLatin1Char('|')).toStdString();
    }
    // The modified song has the original's words, and every chunk is whole.
    SongModel before, after;
    LoadSongFile(damaged, before);
    LoadSongFile(window->session().songPath, after);
    ASSERT_EQ(after.lyricCount, before.lyricCount);
    for (int i = 1; i <= before.lyricCount; ++i) EXPECT_EQ(after.lyricText[i], before.lyricText[i]);
    for (const HeldChunk& c : ReadSongChunks(fileBytes(window->session().songPath)).chunks) EXPECT_FALSE(c.repaired);
}

}  // namespace
}  // namespace cantavo::test
