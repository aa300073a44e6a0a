#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

typedef struct _fluid_synth_t fluid_synth_t;

namespace cantavo {

// A numbered MIDI Out device: 0 is the built-in synthesizer, then every ALSA sequencer
// port that takes MIDI in.
struct MidiOutDevice {
    QString name;
    bool builtIn = false;
    int alsaClient = -1;
    int alsaPort = -1;
};

// The devices, the built-in synthesizer first. Without an ALSA sequencer (no /dev/snd/seq)
// the list holds the built-in synthesizer alone.
QList<MidiOutDevice> ListMidiOutputs();

// Where the sequencer's events go. Runs on the audio thread.
class MidiSink {
public:
    virtual ~MidiSink() = default;
    // A channel message (status 0x80..0xEF).
    virtual void send(int status, int data1, int data2) = 0;
    // A system exclusive message: the bytes after F0, the closing F7 included when stored.
    virtual void sendSysex(const QByteArray& bytes) = 0;
    virtual void allNotesOff() = 0;
};

// The built-in synthesizer, on the sixteen channels from `firstChannel` (0 or 16). On the
// second set, system exclusive messages are dropped: a reset there would reset the song's
// channels as well.
class SynthSink : public MidiSink {
public:
    explicit SynthSink(fluid_synth_t* synth, int firstChannel = 0) : synth_(synth), first_(firstChannel) {}
    void send(int status, int data1, int data2) override;
    void sendSysex(const QByteArray& bytes) override;
    void allNotesOff() override;

private:
    fluid_synth_t* synth_;
    int first_;
};

// An ALSA sequencer port. Events are scheduled `latencyNs` after they are handed over, so
// that they are heard when the built-in synthesizer's would have been.
class AlsaSink : public MidiSink {
public:
    static std::unique_ptr<AlsaSink> open(int client, int port, qint64 latencyNs, QString* error);
    ~AlsaSink() override;
    void send(int status, int data1, int data2) override;
    void sendSysex(const QByteArray& bytes) override;
    void allNotesOff() override;

private:
    AlsaSink() = default;
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace cantavo
