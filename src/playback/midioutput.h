#pragma once

#include <QList>
#include <QString>

#include <memory>

typedef struct _fluid_midi_event_t fluid_midi_event_t;
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

// Where the sequencer's events go. send() and allNotesOff() run on the audio thread.
class MidiSink {
public:
    virtual ~MidiSink() = default;
    virtual void send(fluid_midi_event_t* event) = 0;
    virtual void allNotesOff() = 0;
};

class SynthSink : public MidiSink {
public:
    explicit SynthSink(fluid_synth_t* synth) : synth_(synth) {}
    void send(fluid_midi_event_t* event) override;
    void allNotesOff() override;

private:
    fluid_synth_t* synth_;
};

// An ALSA sequencer port. Events are scheduled `latencyNs` after they are handed over, so
// that they are heard when the built-in synthesizer's would have been.
class AlsaSink : public MidiSink {
public:
    static std::unique_ptr<AlsaSink> open(int client, int port, qint64 latencyNs, QString* error);
    ~AlsaSink() override;
    void send(fluid_midi_event_t* event) override;
    void allNotesOff() override;

private:
    AlsaSink() = default;
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace cantavo
