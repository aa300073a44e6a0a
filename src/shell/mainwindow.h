#pragma once

#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QMdiArea>
#include <QVariantMap>
#include <QLabel>
#include <QMdiSubWindow>
#include <QDockWidget>
#include <QTimer>
#include <QToolBar>

#include <functional>
#include <memory>
#include <optional>

#include "commands.h"
#include "controlpanel.h"
#include "dialogs.h"
#include "livesettings.h"
#include "melody.h"
#include "scorekeeper.h"
#include "midioutput.h"
#include "preferences.h"
#include "breakmusic.h"
#include "requestapi.h"
#include "requestserver.h"
#include "requestspane.h"
#include "rotationstore.h"
#include "lyricswindow.h"
#include "songsession.h"
#include "transport.h"

namespace cantavo {

class ModifyDialog;
class SingersScreen;
class RotationWindow;

class ListWindow;
class PrintDialog;
class RecordingOptionsDialog;
class LivePanel;
class MprisService;
class ScoreGuide;
class LiveScorer;
class Calibration;
struct CalibrationResult;

// The main window: a multiple-document frame with the lyrics window as its child, the
// toolbar, the control panel and the status bar. It shows what the song session and the
// transport ask for.
// A toolbar icon whose disabled form is clearly faint, whatever its colours.
QIcon FadedWhenDisabled(const QIcon& icon);

class MainWindow : public QMainWindow, public SessionView {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    SongSession& session() { return *session_; }
    Transport& transport() { return *transport_; }
    ControlPanel& panel() { return *panel_; }
    Commands& commands() { return *commands_; }
    QToolBar& toolbar() { return *toolbar_; }
    // Timer1: the pauses of compilation playback.
    QTimer& pauseTimer() { return *timer1_; }

    // File Open: the dialog, then the song. Tests replace the dialog.
    void FileOpen();
    std::function<QString()> chooseSongFile;
    // Opens a song as the command line or a dropped file names it.
    void openFromOutside(const QString& path);

    void setToolbarOn(bool on);
    void setFullScreenOn(bool on);
    void hideForDialog();
    void setPanelVisible(bool on);
    bool panelShown() const;
    void setAlwaysOnTop(bool on);
    int toolbarVisible = -1;
    int panelVisible = -1;

    // Start-up and preferences.
    void setProgramDirectory(const QString& dir);
    const QString& programDirectory() const { return programDir_; }
    const QString& preferencesFile() const { return preferencesPath_; }
    // Reads the preferences file and applies it (start-up).
    void loadPreferences();
    void applyPreferences(const Preferences& p);
    Preferences currentPreferences() const;
    // "&Save Preferences"; false (after a message) when the file could not be written.
    bool SavePreferences();
    // The wave template of the recording format.
    QString waveTemplatePath() const;
    Preferences prefs;  // the settings that are not shown anywhere (recording, user sounds)

    // MIDI Out.
    std::function<QList<MidiOutDevice>()> midiDevices = ListMidiOutputs;
    void BuildMidiOutMenu();
    void ChooseMidiOut(int index);
    QMenu* midiOutMenu() const { return midiOutMenu_; }
    QMenu* encodingMenu() const { return encodingMenu_; }

    // Song editing: "&Modify .KAR" and "&Save As...". Tests replace the save dialog.
    ModifyDialog& modifyDialog();
    void PrepareModify();
    void RestoreMainView();
    void SaveAs();
    std::function<QString()> chooseSaveAsFile;

    // Song lists and compilations.
    ListWindow& listWindow();
    void OpenListEditor();
    QStringList compilationEntries;
    int compilationCount = 0;
    int compilationIndex = 0;
    // 0 opens the list window; 1 plays the next entry of the compilation.
    void CompilationStep(int mode);
    // A ".cpl" file named on the command line or dropped: accepted and played from its start.
    bool LoadCompilation(const QString& path);

    // The singers' screen: shown on screen `screenNumber` (1-based; 0: as the settings say).
    void ShowSingersScreen(int screenNumber);
    SingersScreen* singersScreen() const { return singers_; }

    // The singers' rotation: "Sing next" loads the next singer's song in their key and tempo.
    void SingNext();
    RotationWindow& rotationWindow() const { return *rotation_; }
    RotationStore& rotationStore() const { return *rotationStore_; }
    // Guests' song requests: the server on `addresses` at `port`; false with `problem` set.
    bool StartRequests(const QList<QHostAddress>& addresses, quint16 port, QString* problem);
    void StopRequests();
    void ShowRequestsDialog();
    // The catalogue: the default song list that Add Folder fills.
    QString defaultListPath() const;
    // The addresses chosen in Preferences > Requests (the loopback until some are).
    QList<QHostAddress> requestAddressesChosen() const;
    RequestServer* requestServer() const { return requestServer_.get(); }
    RequestDesk& requestDesk() const { return *requestDesk_; }
    RequestsPane& requestsPane() const { return *requestsPane_; }
    // The music between singers; made the first time it plays.
    BreakMusic* breakMusic() const { return breakMusic_.get(); }
    // What went wrong while compilations played, a line each, and the window that shows it.
    QStringList compilationLog;
    void ShowCompilationLog();

    // Audience sounds, over the running song. Tests replace the user sound's dialog.
    void PlayAudienceSound(const QString& file);
    void UserSoundButton(Qt::MouseButton button, int which);
    std::function<QString()> chooseUserSound;

    // The lyrics file and printing. Tests replace the save dialog (given the proposal).
    void SaveLyricsCommand(bool fromToolbar);
    bool ExportLyrics(const QString& path);
    std::function<QString(const QString&)> chooseLyricsFile;
    PrintDialog& printDialog();

    // Wave recording. Tests replace the save dialog (given the proposal).
    void StartRecording();
    void RestartRecording();
    void SaveWave(bool fromToolbar);
    void ApplyRecordingFormat();
    void ShowRecordingOptions();
    RecordingOptionsDialog& recordingOptions();
    std::function<QString(const QString&)> chooseWaveFile;
    // Offers a take left by a run that ended unexpectedly; true when one was kept.
    bool OfferLeftoverTakes();
    // "Voice and music" (kept with the program's newer settings) and whether it can be had.
    bool recordWithMusic() const;
    bool musicCanBeRecorded() const;
    // The program's settings that the preferences file does not hold.
    QString settingsPath() const;
    // Keeps settings in cantavo.conf; a failure (a full disk) goes to the status bar.
    void keepSettings(const QVariantMap& changes);

    // The live key, tempo and mix. Tests replace the save dialog of "Keep as song..."
    const LiveSettings& liveSettings() const;
    void setLive(const LiveSettings& live, bool remember);
    void KeepAsSong();
    LivePanel& livePanel() { return *live_; }
    std::function<QString(const QString&)> chooseKeepFile;
    // The media player interface on the session bus (null without one).
    MprisService* mpris() const { return mpris_; }

    // Singing scored against the melody: the guide under the lyrics, the difficulty, the
    // melody channel the singer chose, and the calibration of the sound's round trip.
    void setScoreOn(bool on);
    bool scoreOn() const;
    void setDifficulty(Difficulty d);
    Difficulty difficulty() const;
    void chooseMelody(int channel);  // 0..15, or -1: found from the lyrics
    void Calibrate();
    const Melody& melody() const { return melody_; }
    ScoreGuide& scoreGuide() { return *guide_; }
    LiveScorer* liveScorer() const { return scorer_.get(); }
    // The score shown at the end of the last song sung, and its best at that difficulty.
    const ScoreResult& lastScore() const { return lastScore_; }
    int bestScore() const;

    // The three ways out.
    void MenuExit();
    // Ends as "Exit" does, asking nothing (the desktop's logout): a take not saved is left for
    // the next start to offer, as after a crash.
    void endAtRequest();
    void ButtonExit();
    SongInfoDialog& songInfo();
    HelpWindow& help();
    void ShowHelp(int context);

    // SessionView.
    void setCaption(const QString& caption) override;
    void setTitlePanel(const QString& text) override;
    void setTotalTimePanel(const QString& text) override;
    void setCurrentTimePanel(const QString& text) override;
    void setTempoPanel(const QString& text) override;
    void setProgress(double percent) override;
    void enableCommand(SongCommand command, bool on) override;
    void addRecentFile(const QString& path) override;
    void showWarning(const QString& text) override;
    bool askYesNo(const QString& text) override;
    void showMciError(int error) override;
    void setWaitCursor(bool on) override;
    void setWaveStatusColor(const QColor& c) override;
    MediaControl& sequencerControl() override { return *panel_->midi; }
    MediaControl& waveControl() override { return *panel_->wave; }
    LyricsWindow& lyricsWindow() override { return *lyrics_; }

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // The lyrics keep half the window's height: the panels below them give way, and the live
    // panel closes (said in the status bar) when even that is not enough.
    void keepLyricsRoom();
    void buildCommands();
    void buildMenus();
    void buildToolbar();
    void connectSignals();
    void toggleStyle(int which);  // 0 bold, 1 italic, 2 underline
    void afterFirstPage();
    void exitProgram(bool askAboutTemporaryFiles);
    // Tells the singer, once, when the built-in synthesizer has no sound output.
    void watchSoundOutput();
    // "Lyrics &Encoding": the automatic choice or one encoding for the current song.
    void buildEncodingMenu(QMenu* parent);
    void connectCompilation();
    void connectStage();
    void connectRotation();
    // Tells the singers' screen the next song of the compilation.
    void stageNextUp();
    void connectOutput();
    void connectRecording();
    void connectLive();
    void restoreLivePanel();
    // The microphone the singer chose, for every recording and scoring from now on.
    void restoreChosenInput();
    void recallLive();
    void rememberLive();
    QLabel* liveStatus() const;  // where the live changes are said
    void connectScoring();
    // A per-song memory beside the preferences (none before the program directory is known).
    SongMemory songMemory(const QString& file, const QString& what) const;
    void restoreScoring();
    void rebuildMelody();
    void followPlayback();
    void showScore();
    void calibrated(const CalibrationResult& r);
    void fillMelodyChoices();
    void showSongInfo();
    void setWaveStatus(const QString& caption, const QColor& colour);
    void reopenWaveTemplate();
    QLabel* compilationStatus();
    void showPauseLeft();
    bool startCompilationSong(const QString& path);
    // Plays a wave file on the sound control; false (said in the status bar) when it cannot.
    // `why`, when given, receives the reason instead of the status bar.
    bool playSound(const QString& path, QString* why = nullptr);
    // An audience or user sound over the song (see the flag that keeps its end apart).
    void playOverSong(const QString& path);
    bool compilationSoundPlaying() const;
    // Said in the status bar and kept in the compilation's log.
    void noteCompilationProblem(const QString& item, const QString& what, bool skipped);
    bool userSoundPress(QObject* watched, QEvent* event);

    Commands* commands_;
    QMdiArea* mdi_;
    QMdiSubWindow* lyricsSub_;
    LyricsWindow* lyrics_;
    ControlPanel* panel_;
    QDockWidget* controlDock_;
    QTimer lyricsRoom_;
    int roomPasses_ = 0;
    QPointer<LyricsWindow> lyricsAlive_;
    QToolBar* toolbar_;
    QTimer* timer1_;
    QTimer pauseCountdown_;
    int pauseLeftMs_ = 0;
    QMenu* fileMenu_;
    QAction* recentSeparator_ = nullptr;
    QMenu* midiOutMenu_ = nullptr;
    QMenu* encodingMenu_ = nullptr;
    QList<QAction*> midiOutItems_;
    QString programDir_;
    QString shownOutputProblem_;
    QString preferencesPath_;
    SongInfoDialog* songInfo_ = nullptr;
    HelpWindow* help_ = nullptr;
    ModifyDialog* modify_ = nullptr;
    ListWindow* list_ = nullptr;
    PrintDialog* print_ = nullptr;
    RecordingOptionsDialog* recordingOptions_ = nullptr;
    LivePanel* live_ = nullptr;
    SingersScreen* singers_ = nullptr;
    void announceNext();
    QString rotationNextUp() const;
    std::unique_ptr<RotationStore> rotationStore_;
    RotationWindow* rotation_ = nullptr;
    std::optional<RotationStore::Turn> singing_;  // the rotation's song that is loaded
    QTimer rotationStart_;
    std::unique_ptr<BreakMusic> breakMusic_;
    void connectRequests();
    std::unique_ptr<RequestDesk> requestDesk_;
    std::unique_ptr<SongIndex> requestIndex_;
    std::unique_ptr<RequestApi> requestApi_;
    std::unique_ptr<RequestServer> requestServer_;
    RequestsPane* requestsPane_ = nullptr;
    // The words page's feed: what was sent last, and the title card's clock.
    void pushWords();
    QByteArray wordsPageSent_, wordsLit_;
    QTimer wordsTick_;
    // Break music plays when it is on and nothing else does; it stops for anything played.
    void startBreakMusic();
    void stopBreakMusic();
    QTimer frames_;  // the wipe's frames while a song plays
    MprisService* mpris_ = nullptr;
    QDockWidget* liveDock_ = nullptr;
    QTimer rememberLive_;
    ScoreGuide* guide_ = nullptr;
    std::unique_ptr<LiveScorer> scorer_;
    Melody melody_;
    ScoreResult lastScore_;
    QTimer scoreTimer_;
    Calibration* calibration_ = nullptr;
    int melodyKey_ = 0;  // the live key the melody was built in
    bool wasPlaying_ = false;
    bool inputFailed_ = false;
    bool installed_ = false;
    bool leaving_ = false;
    // While a compilation opens its next song, message boxes are held here instead of shown.
    bool quietBoxes_ = false;
    QStringList heldMessages_;
    QDialog* logWindow_ = nullptr;
    QPlainTextEdit* logText_ = nullptr;
    SongSession* session_;
    Transport* transport_;
};

}  // namespace cantavo
