#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QTextBrowser>

#include "songmodel.h"

namespace cantavo {

// "Song Info": the facts of the loaded song.
class SongInfoDialog : public QDialog {
    Q_OBJECT
public:
    explicit SongInfoDialog(QWidget* parent = nullptr);
    // Fills the panels from the song model.
    void showSong(const SongModel& song);
    QLabel* titlePanel;   // Panel3D2
    QLabel* infoPanel;    // Panel3D4
    QLabel* tracksPanel;  // Panel3D6
    QLabel* meterPanel;   // Panel3D7
    QLabel* keyPanel;     // Panel3D8
    // The channel the singer is scored against: "Automatic (...)" first, then each channel.
    QComboBox* melodyChoice;  // MelodyChannel
};

// "Program Info": a picture, the program's name and version.
class ProgramInfoDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProgramInfoDialog(QWidget* parent = nullptr);
};

// The program's picture: the splash and the program information box show it.
QPixmap ProgramPicture(const QSize& size);
QIcon ProgramIcon();

// The help window: the help file, a topic for each help context number.
class HelpWindow : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpWindow(const QString& helpFile, QWidget* parent = nullptr);
    // 0 shows the contents.
    void showTopic(int context);
    int shownTopic() const { return topic_; }

private:
    int topic_ = -1;
};

}  // namespace cantavo
