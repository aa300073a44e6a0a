#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

#include "sequencer.h"
#include "wavedevice.h"

namespace cantavo {

// The engine's error numbers, as the command strings and the controls return them.
enum MciError : int {
    kMciOk = 0,
    kMciCannotLoadDriver = 266,   // no SoundFont, no sound output, no audio library
    kMciDeviceNotOpen = 263,      // the element is not open, or the device type is unknown
    kMciInvalidDeviceId = 257,    // a port or device number that does not exist
    kMciInvalidFileName = 275,    // the file is missing or is not a song or wave file
    kMciIllegalAction = 274,      // the device does not do that
    kMciUnrecognisedCommand = 261,
    kMciBadKeyword = 259,
    kMciOutOfRange = 282,
};

// The text ShowMciError shows for an error number.
QString MciErrorText(int error);
inline const QString kMciErrorTitle = QStringLiteral("Applicazione di Controllo MCI");

// Leading-number reading of a reply: leading blanks skipped, the longest numeric prefix
// taken (sign, digits, one decimal point), 0 when there is none.
double LeadingNumber(const QString& text);

enum class TimeFormat { Milliseconds, SongPointer };

// An open device, addressed by its element name (the path as opened).
struct MediaDevice {
    QString element;
    std::unique_ptr<Sequencer> sequencer;
    std::unique_ptr<WaveDevice> wave;
    TimeFormat timeFormat = TimeFormat::Milliseconds;
    int references = 0;
};

// The one registry of open devices, shared by the command strings and the media controls:
// "status " + path + " position" answers for the song a sequencer control opened.
class MediaRegistry {
public:
    static MediaRegistry& instance();

    // The built-in synthesizer every sequencer plays on; made on first use with
    // `synthOptions`, or given by the program (tests give an offline one).
    void setSynthHost(SynthHost* host) { host_ = host; }
    SynthHost::Options synthOptions;
    SynthHost* synthHost(QString* error);
    const QString& synthError() const { return synthError_; }

    // Opens `element` as "sequencer" or "waveaudio"; opening an open element adds a
    // reference to the same device.
    int open(const QString& element, const QString& type, MediaDevice** device, QString* detail = nullptr);
    int close(const QString& element);
    MediaDevice* find(const QString& element) const;
    void closeAll();

private:
    static QString key(const QString& element) { return element.toUpper(); }
    SynthHost* host_ = nullptr;
    std::unique_ptr<SynthHost> ownHost_;
    QString synthError_;
    QHash<QString, std::shared_ptr<MediaDevice>> devices_;
};

// Sends a command string. The reply (at most 15 characters) goes to `reply`; a failing
// command returns its error number and leaves `reply` as it was. Never throws.
int MciSendString(const QString& command, QString* reply = nullptr);

// Tests: every command string sent, in order.
void SetMciCommandObserver(std::function<void(const QString&)> observer);

// A number as a reply gives it: whole numbers plainly, fractions with up to three decimals.
QString MciNumber(double value);

}  // namespace cantavo
