#pragma once

#include <QLabel>
#include <QObject>
#include <QStringList>

#include <memory>

#include "mainwindow.h"
#include "mediacontrol.h"

namespace cantavo {

// What the command line asks of the player window beyond the song: "--singers-screen [N]"
// opens the singers' screen at start, on screen N (1-based; 0: as the settings say). Taken out
// of `arguments` before the rest is parsed; `error` set for a screen number out of range.
// "--requests [ADDRESS:]PORT" starts the server of guests' requests with the window, on ADDRESS
// (else the addresses chosen in the preferences, else the loopback).
struct WindowOptions {
    bool singersScreen = false;
    int screen = 0;
    quint16 requestsPort = 0;  // 0: as the preferences say
    QString requestsAddress;
};
WindowOptions TakeWindowOptions(QStringList& arguments, QString* error);
// Its line for --help.
QString WindowOptionsHelp();

// Where the program's data files are: the executable's folder in the build tree, or
// share/cantavo beside an installed executable.
QString ProgramDirectory();

// The splash window: the program's picture, with its own sequencer control for the intro
// music. A mouse button or a key on it asks to go on.
class SplashWindow : public QLabel {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* parent = nullptr);
    MediaControl* music;  // MMControl1 of the splash

signals:
    void goOn();

protected:
    void mousePressEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
};

// Start-up: the splash with its music, then StartProgram, once.
class Startup : public QObject {
    Q_OBJECT
public:
    Startup(const QString& programDir, const QStringList& songArguments, QObject* parent = nullptr);
    ~Startup() override;

    // Shows the splash and plays the intro music, or starts at once when the command line
    // names an existing file.
    void begin();
    void StartProgram();
    bool started() const { return started_; }
    MainWindow* mainWindow() const { return window_.get(); }
    // The instrument names and the patch list, filled when the splash loads.
    const QStringList& patchList() const { return patchList_; }
    SplashWindow* splash() const { return splash_.get(); }

signals:
    void programStarted();

private:
    QString programDir_;
    QStringList songs_;
    bool started_ = false;
    QStringList patchList_;
    std::unique_ptr<SplashWindow> splash_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace cantavo
