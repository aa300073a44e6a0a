#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

#include "synthhost.h"

namespace cantavo {

class AudioInput;
class Sequencer;

struct CalibrationResult {
    bool ok = false;
    QString error;
    double roundTripMs = 0;  // measured: from the music leaving the program to its coming back
    double reportedMs = 0;   // what the sound server reports for the same path
    double peak = 0;         // how alike the clicks sent and heard were (0..1)
    // What the measurement adds to what the server reports: taken off the voice as well.
    double extraMs() const { return roundTripMs - reportedMs; }
};

// Measures the real round trip of the sound: plays a few clicks on the built-in
// synthesizer, hears them through the default input, and finds them there by
// cross-correlation with the clicks as they were sent. The clicks come at uneven spaces
// so that no click can be mistaken for its neighbour.
//
// Runs on the window's thread, driven by a timer; the synthesizer and the input do their
// own threading underneath (see SynthHost and AudioInput). The song's sequencer must be
// stopped meanwhile: the clicks play through a sequencer of their own.
class Calibration : public QObject {
    Q_OBJECT
public:
    Calibration(SynthHost& host, QString clickFolder, QObject* parent = nullptr);
    ~Calibration() override;

    bool start(QString* error);
    void cancel();
    bool running() const { return timer_.isActive(); }

    // The click song's bytes (a Standard MIDI File).
    static QByteArray ClickSong();

signals:
    void finished(const CalibrationResult& result);

private:
    void pump();
    void finish();
    CalibrationResult measure() const;

    SynthHost& host_;
    QString clickFolder_;
    QString clickPath_;
    std::unique_ptr<Sequencer> clicks_;
    std::unique_ptr<AudioInput> input_;
    QTimer timer_;
    std::vector<SynthHost::HeardChunk> heard_;
    std::vector<float> voice_;
    std::vector<qint64> voiceStarts_;
    double inputLatencyMs_ = 0;
    qint64 doneAtNs_ = 0;
    bool clicksDone_ = false;
};

// Runs a calibration to its end in a local event loop (for the command line).
CalibrationResult RunCalibration(SynthHost& host, const QString& clickFolder);

}  // namespace cantavo
