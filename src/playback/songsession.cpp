#include "songsession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "lyricswindow.h"
#include "mci.h"
#include "mediacontrol.h"
#include "atomicfile.h"
#include "numbers.h"
#include "runfiles.h"
#include "songfacts.h"
#include "songreader.h"
#include "tempomap.h"

namespace cantavo {

namespace {

// The reader's run-time errors by their classic numbers, for the error box.
int ReaderErrorNumber(const QString& message) {
    if (message.startsWith(QStringLiteral("Input past end"))) return 62;
    if (message == QStringLiteral("Overflow")) return 6;
    if (message == QStringLiteral("Subscript out of range")) return 9;
    return 53;  // file not found or not readable
}

const QString kCantLoad = QStringLiteral("Can't load the file. Please correct the error and retry");
const QString kFormatError = QStringLiteral("MIDI File Format Error");

// The reader tells the user through the session's window.
class ViewReporter : public SongReadReporter {
public:
    ViewReporter(SessionView& view, SongSession& session) : view_(view), session_(session) {}
    void showWarning(const QString& text) override { view_.showWarning(text); }
    void closeSong(const QString&) override { session_.CloseSong(); }

private:
    SessionView& view_;
    SongSession& session_;
};

}  // namespace

QString TimeText(double ms) { return MinutesSeconds(ms); }

SongSession::SongSession(SessionView& view, QObject* parent) : QObject(parent), view_(view) {}

QString SongSession::TemporaryFolder() { return runfiles::OwnTemporaryFolder(); }

QString SongSession::MakeBlankFreeCopy(const QString& source) {
    const QFileInfo info(source);
    const QString folder = info.absolutePath();
    const QString name = info.fileName();
    if (!folder.contains(QLatin1Char(' ')) && !name.contains(QLatin1Char(' '))) return source;
    const QString target = QDir(TemporaryFolder()).filePath(QString(name).replace(QLatin1Char(' '), QLatin1Char('_')));
    QFile::remove(target);
    if (!QFile::copy(source, target)) return source;
    return target;
}

void SongSession::NoteWorkingFile(const QString& path) { runfiles::MarkWorkingFile(path); }

void SongSession::DeleteWorkingFiles() {
    // Those this program wrote (beside a song opened from another folder, or in its temporary
    // folder), which nobody else would remove; and the current folder's, as always. A file
    // another running copy has marked as its own is left to it.
    for (const QString& f : runfiles::MarkedWorkingFiles()) {
        runfiles::ReleaseWorkingFile(f);
        if (!runfiles::UsedByAnotherCopy(f)) QFile::remove(f);
    }
    for (const QString& folder : {QDir::currentPath(), TemporaryFolder()}) {
        QDir here(folder);
        for (const QString& f : here.entryList(QDir::Files))
            if (f.endsWith(QStringLiteral(".ktf"), Qt::CaseInsensitive) && !runfiles::UsedByAnotherCopy(here.filePath(f))) here.remove(f);
    }
}

bool SongSession::IsIntroSong(const QString& path) {
    return path.right(11).compare(QStringLiteral("CANTAVO.MID"), Qt::CaseInsensitive) == 0;
}

void SongSession::PrepareFileOpen() {
    DeleteWorkingFiles();
    song.songTitle.clear();
    song.songInfo.clear();
    song.keyMode.clear();
    view_.sequencerControl().setCommand(QStringLiteral("close"));
    if (!songPath.isEmpty()) MciSendString(QStringLiteral("close ") + songPath);
}

void SongSession::FileOpenChosen(const QString& chosen) {
    if (chosen.isEmpty()) return;  // cancelled: the old song is already closed
    const QString path = MakeBlankFreeCopy(chosen);
    if (path.isEmpty()) return;
    songPath = path;
    openChosenPath(path);
}

void SongSession::OpenRecent(const QString& path) {
    DeleteWorkingFiles();
    view_.sequencerControl().setCommand(QStringLiteral("close"));
    MciSendString(QStringLiteral("close ") + path);
    resetLyricDisplays();
    song.songTitle.clear();
    song.songInfo.clear();
    song.keyMode.clear();
    songPath = path;
    openChosenPath(path);
}

void SongSession::resetLyricDisplays() {
    view_.lyricsWindow().setGauge(0);
    tempoIndex = 1;
    lyricIndex = 1;
    view_.setCurrentTimePanel(QStringLiteral("00:00"));
    view_.setProgress(0);
}

void SongSession::openChosenPath(const QString& path) {
    if (path.right(3).compare(QStringLiteral("WAV"), Qt::CaseInsensitive) == 0) {
        MediaControl& wave = view_.waveControl();
        wave.setCommand(QStringLiteral("close"));
        wave.setFileName(path);
        if (!wave.setCommand(QStringLiteral("open"))) {
            view_.showMciError(wave.error());
            return;
        }
        wave.setTimeFormat(0);
        view_.setWaveStatusColor(Qt::black);
        return;
    }
    OpenAsCurrent(path);
}

bool SongSession::OpenAsCurrent(const QString& path) {
    view_.enableCommand(SongCommand::InformationButton, true);
    view_.enableCommand(SongCommand::ToolSaveWave, true);
    view_.enableCommand(SongCommand::ToolExtractLyrics, true);
    view_.enableCommand(SongCommand::ToolModifyKar, true);
    songReady = 0;
    const bool ok = OpenSong(path);
    songReady = ok ? 1 : 0;
    if (!ok) return false;
    for (SongCommand c : {SongCommand::SaveLyrics, SongCommand::Close, SongCommand::SaveAs, SongCommand::ModifyKar, SongCommand::SongInfo,
                          SongCommand::InformationButton})
        view_.enableCommand(c, true);
    return true;
}

void SongSession::releaseSong() {
    // A song that failed to open is not left half-open: its device is closed and its lyrics
    // emptied, so that nothing of it is played or highlighted against the next song.
    view_.sequencerControl().setCommand(QStringLiteral("close"));
    MciSendString(QStringLiteral("close ") + songPath);
    song.clear();
    lines = LyricLines();
    loaded_ = false;
    ClearSongDisplay();
}

bool SongSession::failOpen(int error) {
    if (error != 0) view_.showMciError(error);
    view_.lyricsWindow().ClearPicture();
    view_.showWarning(kCantLoad);
    releaseSong();
    return false;
}

bool SongSession::OpenSong(const QString& path) {
    MediaControl& control = view_.sequencerControl();
    LyricsWindow& lyrics = view_.lyricsWindow();
    // 1-4: whatever was open under this name is closed and the displays emptied.
    control.setCommand(QStringLiteral("close"));
    MciSendString(QStringLiteral("close ") + path);
    song.clear();
    lines = LyricLines();
    lyrics.ClearPicture();
    lyrics.setGauge(100);
    view_.setProgress(0);
    control.setUpdateInterval(0);
    lyricIndex = 1;
    tempoIndex = 1;
    lineIndex = 0;
    seekPending = 0;
    loaded_ = false;
    songPath = path;
    openProblem_.clear();
    beatScale = 1;

    // 5: the file.
    ViewReporter reporter(view_, *this);
    // The contents are read here once: they also name the encoding chosen for this song.
    // A file that cannot be read goes to the reader, which says why.
    contents_.clear();
    QString unreadable;
    const LoadResult r = ReadInputFile(path, kMaxSongBytes, &contents_, &unreadable)
                             ? LoadSongData(contents_, path, song, &reporter, encodingMemory.recall(contents_))
                             : LoadSongFile(path, song, &reporter);
    openProblem_ = unreadable.isEmpty() ? SongReadProblem(contents_, r) : QStringLiteral("cannot be read (%1)").arg(unreadable);
    if (r.status == LoadStatus::NotMidiFile) {
        // The reader has told the user and closed the song: opening it further would only
        // add a second message about the same file.
        song.clear();
        return false;
    }
    if (r.status == LoadStatus::ReadFailed) return failOpen(ReaderErrorNumber(r.message));
    lyricMs.assign(static_cast<size_t>(song.lyricCount) + 1, 0.0);
    for (int i = 1; i <= song.lyricCount; ++i) lyricMs[static_cast<size_t>(i)] = TicksToMs(song, song.lyricTick[i]);
    ConvertTempoMapToMs(song);

    // 6.
    view_.enableCommand(SongCommand::SaveLyrics, true);
    view_.enableCommand(SongCommand::SaveAs, true);
    view_.enableCommand(SongCommand::SongInfo, true);
    AddRecentFile();

    // 7-8: the control for the buttons and the notification, the command strings for the rest.
    control.setFileName(path);
    if (!control.setCommand(QStringLiteral("Open"))) {
        openProblem_ = control.errorDetail().isEmpty() ? MciErrorText(control.error()) : control.errorDetail();
        return failOpen(control.error());
    }
    MciSendString(QStringLiteral("open ") + path + QStringLiteral(" type sequencer"));
    MciSendString(QStringLiteral("set ") + path + QStringLiteral(" time format song pointer"));
    QString reply;
    MciSendString(QStringLiteral("status ") + path + QStringLiteral(" length"), &reply);
    songLengthSixteenths = static_cast<qint32>(std::lround(LeadingNumber(reply)));
    QString division;
    MciSendString(QStringLiteral("status ") + path + QStringLiteral(" division type"), &division);

    // 9: time-code songs are not played.
    if (!division.startsWith(QStringLiteral("PPQN"))) {
        openProblem_ = QStringLiteral("its time is in SMPTE frames, which this player does not play");
        view_.showWarning(kFormatError);
        releaseSong();
        return false;
    }

    // 10: the output port.
    if (midiOutChoice == 0) MciSendString(QStringLiteral("set ") + path + QStringLiteral(" port mapper"));
    else MciSendString(QStringLiteral("set ") + path + QStringLiteral(" port ") + SignPosition(midiOutChoice - 1));

    // 11-13: caption, length, displays.
    view_.setCaption(JoinedTitle(song.songTitle));
    view_.setTitlePanel(song.panels.title);
    control.setTimeFormat(0);
    songLengthMs = static_cast<qint32>(control.length());
    view_.setCurrentTimePanel(QStringLiteral("00:00"));
    view_.setTotalTimePanel(TimeText(songLengthMs));
    view_.setProgress(0);
    view_.setTempoPanel(QStringLiteral("- - -"));

    // 14: the first page.
    loaded_ = true;
    lyrics.BuildLines();
    emit songOpened();
    return true;
}

QString SongSession::ChosenEncoding() const {
    QByteArray data;
    return loaded_ && ReadInputFile(songPath, kMaxSongBytes, &data, nullptr) ? encodingMemory.recall(data) : QString();
}

bool SongSession::ChooseEncoding(const QString& name) {
    if (!loaded_) return false;
    QByteArray data;
    QString error;
    if (!ReadInputFile(songPath, kMaxSongBytes, &data, &error)) {
        view_.showWarning(QStringLiteral("%1 could not be read: %2").arg(songPath, error));
        return false;
    }
    if (!encodingMemory.remember(data, name, &error)) view_.showWarning(error);
    // The song is read again in the chosen encoding, from the start.
    const QString path = songPath;
    songReady = OpenSong(path) ? 1 : 0;
    return songReady == 1;
}

void SongSession::ClearSongDisplay() {
    tempoIndex = 1;
    view_.setTitlePanel(QString());
    view_.setCurrentTimePanel(QStringLiteral("- - -"));
    view_.setTotalTimePanel(QStringLiteral("- - -"));
    view_.lyricsWindow().setGauge(100);
    view_.enableCommand(SongCommand::SaveWave, false);
    view_.enableCommand(SongCommand::SaveLyrics, false);
    view_.enableCommand(SongCommand::SaveAs, false);
}

void SongSession::CloseSong() {
    if (waveUnsaved == 1 && !view_.askYesNo(QStringLiteral("File .WAV recorded and not saved. Close anyway?"))) return;
    waveUnsaved = 0;
    for (SongCommand c : {SongCommand::Close, SongCommand::SaveAs, SongCommand::ToolSaveWave, SongCommand::ToolExtractLyrics})
        view_.enableCommand(c, false);
    ClearSongDisplay();
    view_.setCaption(QStringLiteral("Cantavo!: file not open"));
    view_.enableCommand(SongCommand::SongInfo, false);
    view_.enableCommand(SongCommand::InformationButton, false);
    view_.sequencerControl().setCommand(QStringLiteral("Close"));
    if (!songPath.isEmpty()) MciSendString(QStringLiteral("close ") + songPath);
    view_.setCurrentTimePanel(QStringLiteral("- - -"));
    view_.setTotalTimePanel(QStringLiteral("- - -"));
    view_.setTempoPanel(QStringLiteral("- - -"));
    view_.setProgress(0);
    for (SongCommand c : {SongCommand::SaveLyrics, SongCommand::SaveAs, SongCommand::Close, SongCommand::ModifyKar, SongCommand::ToolModifyKar})
        view_.enableCommand(c, false);
    song.songTitle.clear();
    song.songInfo.clear();
    song.keyName.clear();
    song.keyMode.clear();
    song.trackCount = 0;
    song.timeSigNumerator = 0;
    song.timeSigDenominator = 0;
    loaded_ = false;
}

void SongSession::AddRecentFile() {
    recentCount += 1;
    for (const QString& f : recentFiles) {
        if (f.compare(songPath, Qt::CaseInsensitive) == 0) {
            recentCount -= 1;
            return;
        }
    }
    recentFiles << songPath;
    view_.addRecentFile(songPath);
}

}  // namespace cantavo
