#pragma once

#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include <array>

#include "mci.h"

namespace cantavo {

enum class MediaButton { Prev, Next, Play, Pause, Back, Step, Stop, Record, Eject };
inline constexpr int kMediaButtonCount = 9;

// Completion codes of the control's completed() signal.
enum NotifyCode : int { kNotifySuccessful = 1, kNotifySuperseded = 2, kNotifyAborted = 4, kNotifyFailure = 8 };

// The multimedia control: a row of transport buttons over one device of the media registry
// (a sequencer or a wave-audio device), driven by its Command property.
//
// Each button raises buttonClicked() before the control acts; a handler can cancel the
// action. While the status-update interval is above zero the control raises statusUpdate()
// at that interval. completed() comes when a play command runs to its end.
class MediaControl : public QWidget {
    Q_OBJECT
public:
    enum class DeviceType { Sequencer, WaveAudio };

    explicit MediaControl(DeviceType type, QWidget* parent = nullptr);
    ~MediaControl() override;

    DeviceType deviceType() const { return type_; }
    void setFileName(const QString& path) { fileName_ = path; }
    const QString& fileName() const { return fileName_; }

    // Runs a command: "open", "close", "play", "pause", "stop", "prev", "next", "back",
    // "step", "record", "save", "eject" (in any case). False when it failed; error() tells why.
    bool setCommand(const QString& command);
    int error() const { return error_; }
    const QString& errorDetail() const { return errorDetail_; }

    // 0: milliseconds; 1: song pointer (sixteenth notes). Shared with the command strings
    // addressed to the same element.
    void setTimeFormat(int format);
    int timeFormat() const;
    double length() const;
    double position() const;
    int mode() const;  // the media mode numbers, 524..530

    void setUpdateInterval(int ms);
    int updateInterval() const { return interval_; }

    QToolButton* button(MediaButton b) const { return buttons_[static_cast<size_t>(b)]; }
    // The open device, or null once it was closed, here or by a command string to the
    // same element.
    MediaDevice* device() const;
    Sequencer* sequencer() const { return device() ? device()->sequencer.get() : nullptr; }
    WaveDevice* wave() const { return device() ? device()->wave.get() : nullptr; }

    // Enables the buttons the current mode allows.
    void refreshButtons();
    // After a lyrics page is drawn the keyboard focus comes back to the control, on its Play
    // button (or the first button that can take it), so that the space bar plays.
    void focusAfterPage();

signals:
    void buttonClicked(cantavo::MediaButton button, bool* cancel);
    // After a button's action has been carried out (not when it was cancelled).
    void buttonDone(cantavo::MediaButton button);
    void completed(int notifyCode);
    void statusUpdate();

private:
    void clicked(MediaButton b);
    void attach();
    void detach();

    DeviceType type_;
    QString fileName_;
    MediaDevice* device_ = nullptr;
    QString openedElement_;
    int error_ = 0;
    QString errorDetail_;
    int interval_ = 0;
    QTimer status_;
    std::array<QToolButton*, kMediaButtonCount> buttons_{};
    QMetaObject::Connection completion_;
};

// The message box for an engine error: its text, the exclamation icon and the layer's title.
void ShowMciError(QWidget* parent, int error);

}  // namespace cantavo
