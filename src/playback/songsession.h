#pragma once

#include <QObject>

#include <vector>
#include <QString>
#include <QStringList>

#include "songmemory.h"
#include "lyriclines.h"
#include "songmodel.h"

namespace cantavo {

class MediaControl;
class LyricsWindow;

// The commands whose enabled state the session switches.
enum class SongCommand { SaveWave, SaveLyrics, Close, SaveAs, ModifyKar, SongInfo, InformationButton, ToolSaveWave, ToolExtractLyrics, ToolModifyKar };

// What the session shows and asks, implemented by the main window.
class SessionView {
public:
    virtual ~SessionView() = default;
    virtual void setCaption(const QString& caption) = 0;
    virtual void setTitlePanel(const QString& text) = 0;       // Panel3D6
    virtual void setTotalTimePanel(const QString& text) = 0;   // Panel3D4
    virtual void setCurrentTimePanel(const QString& text) = 0; // Panel3D5
    virtual void setTempoPanel(const QString& text) = 0;       // Panel3D7
    virtual void setProgress(double percent) = 0;              // Panel3D8
    virtual void enableCommand(SongCommand command, bool on) = 0;
    virtual void addRecentFile(const QString& path) = 0;
    virtual void showWarning(const QString& text) = 0;        // exclamation icon
    virtual bool askYesNo(const QString& text) = 0;           // question icon, No by default
    virtual void showMciError(int error) = 0;
    virtual void setWaitCursor(bool on) = 0;
    virtual void setWaveStatusColor(const QColor& c) = 0;     // Panel3D10's text
    virtual MediaControl& sequencerControl() = 0;             // MMControl1
    virtual MediaControl& waveControl() = 0;                  // MMControl2
    virtual LyricsWindow& lyricsWindow() = 0;                 // Form1
};

// The one loaded song: opening, closing and the state every other part reads.
class SongSession : public QObject {
    Q_OBJECT
public:
    explicit SongSession(SessionView& view, QObject* parent = nullptr);

    // The song state.
    SongModel song;
    LyricLines lines;
    QString songPath;
    qint32 songLengthMs = 0;
    qint32 songLengthSixteenths = 0;
    int tempoIndex = 1;
    int lyricIndex = 1;
    int lineIndex = 0;
    int songReady = 0;
    int recentCount = 1;
    QStringList recentFiles;
    int waveUnsaved = 0;
    // The transport's own state.
    qint32 positionMs = 0;
    qint32 lastSyllableMs = 0;
    int seekPending = 0;
    qint32 seekTarget = 0;
    int suppressCompletion = 0;
    int midiOutChoice = 0;  // 0: the mapper; n: MIDI Out device n - 1
    // The song's beat against its file's own (a song just slowed down by Modify, which writes
    // a new division): the tempo shown is the beat heard. 1 for every song opened otherwise.
    double beatScale = 1;
    // Each syllable's time in the song, in ms (1-based as the syllables), from the tempo map.
    std::vector<double> lyricMs;

    // Where the blank-free copies go: this running copy's own folder inside the program's
    // folder in the system's temporary folder.
    static QString TemporaryFolder();
    static QString MakeBlankFreeCopy(const QString& source);
    // Deletes the "*.ktf" working files of the current folder and those the program wrote,
    // except those another running copy uses.
    static void DeleteWorkingFiles();
    // Marks a working file as this copy's, so that other copies leave it alone.
    static void NoteWorkingFile(const QString& path);
    static bool IsIntroSong(const QString& path);

    // File Open after the dialog: `chosen` is the file the user picked (empty: cancelled).
    void FileOpenChosen(const QString& chosen);
    // The old song closed before the dialog is shown (File Open steps 1 to 3).
    void PrepareFileOpen();
    void OpenRecent(const QString& path);
    // True when the song was opened and is ready to play.
    bool OpenSong(const QString& path);
    // Opens a song and enables what a loaded song offers, as after File Open.
    bool OpenAsCurrent(const QString& path);
    void CloseSong();
    void ClearSongDisplay();
    void AddRecentFile();
    bool songLoaded() const { return loaded_; }
    // What went wrong with the last song opened, in words ("not a MIDI file"), or what is
    // missing from it when it opened all the same ("no lyrics in it"); empty when nothing.
    const QString& openProblem() const { return openProblem_; }

    // The encodings chosen for particular songs.
    SongMemory encodingMemory;
    // The live key, tempo and mix the singer left each song with.
    SongMemory liveMemory{QString(), QStringLiteral("the song's key, tempo and mix")};
    // The bytes of the song open now (what the memories know it by).
    const QByteArray& songContents() const { return contents_; }
    // "Lyrics encoding": reads the current song again in `name` (empty: the automatic
    // choice) and remembers the choice for the song.
    bool ChooseEncoding(const QString& name);
    // The encoding chosen for the current song; empty when it is the automatic one.
    QString ChosenEncoding() const;

signals:
    // A song was opened and is ready to play.
    void songOpened();

private:
    QByteArray contents_;
    void openChosenPath(const QString& path);
    void resetLyricDisplays();
    bool failOpen(int error);
    void releaseSong();

    SessionView& view_;
    bool loaded_ = false;
    QString openProblem_;
};

// Time text: whole minutes and the rest in seconds to the nearest whole number.
QString TimeText(double ms);

}  // namespace cantavo
