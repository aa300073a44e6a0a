#pragma once

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <functional>

#include "livesettings.h"

namespace cantavo {

// The live key, tempo and mix of the song that plays: key and tempo at the top, a strip for
// each of the sixteen channels (loudness, mute, solo, its instrument, a light while it
// plays, the melody marked), "Reset" and "Keep as song...".
class LivePanel : public QWidget {
    Q_OBJECT
public:
    explicit LivePanel(QWidget* parent = nullptr);

    // Shows the settings without announcing a change.
    void show(const LiveSettings& live);
    const LiveSettings& settings() const { return live_; }
    // The song's channels: which have notes, the melody's (-1: none).
    void setChannels(const std::array<bool, 16>& used, int melody);
    // Called about twenty times a second while the panel shows: whether the channel
    // played a note just now, and its program.
    std::function<bool(int channel)> channelPlaying;
    std::function<int(int channel)> channelProgram;

    QToolButton* keyDown;   // LiveKeyDown
    QToolButton* keyUp;     // LiveKeyUp
    QLabel* keyLabel;       // LiveKey
    QSlider* tempo;         // LiveTempo
    QLabel* tempoLabel;     // LiveTempoValue
    QPushButton* reset;     // LiveReset
    QPushButton* keep;      // KeepAsSong
    struct Strip {
        QWidget* box;
        QLabel* light;       // Activity
        QSlider* loudness;   // Loudness
        QToolButton* mute;   // Mute
        QToolButton* solo;   // Solo
        QLabel* name;        // Instrument
    };
    std::array<Strip, 16> strips;

signals:
    void changed(const cantavo::LiveSettings& live);

private:
    void update(const LiveSettings& live);
    void refreshLabels();
    void refreshLights();
    LiveSettings live_;
    bool showing_ = false;
    int melody_ = -1;
    QTimer lights_;
};

}  // namespace cantavo
