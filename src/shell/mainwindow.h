#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolBar>

#include <functional>

#include "commands.h"
#include "controlpanel.h"
#include "lyricswindow.h"
#include "songsession.h"
#include "transport.h"

namespace cantavo {

// The main window: a multiple-document frame with the lyrics window as its child, the
// toolbar, the control panel and the status bar. It shows what the song session and the
// transport ask for.
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

    // File Open: the dialog, then the song. Tests replace the dialog.
    void FileOpen();
    std::function<QString()> chooseSongFile;
    // Opens a song as the command line or a dropped file names it.
    void openFromOutside(const QString& path);

    void setToolbarOn(bool on);
    void setFullScreenOn(bool on);
    int toolbarVisible = -1;
    int panelVisible = -1;

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

private:
    void buildCommands();
    void buildMenus();
    void buildToolbar();
    void connectSignals();
    void toggleStyle(bool LyricsWindow::*, int which);
    void afterFirstPage();

    Commands* commands_;
    QMdiArea* mdi_;
    QMdiSubWindow* lyricsSub_;
    LyricsWindow* lyrics_;
    ControlPanel* panel_;
    QToolBar* toolbar_;
    QMenu* fileMenu_;
    QAction* recentSeparator_ = nullptr;
    SongSession* session_;
    Transport* transport_;
};

}  // namespace cantavo
