#include "midioutput.h"

#include <QFileInfo>

#include <alsa/asoundlib.h>
#include <fluidsynth.h>

namespace cantavo {

namespace {

bool haveAlsaSequencer() { return QFileInfo::exists(QStringLiteral("/dev/snd/seq")); }

}  // namespace

QList<MidiOutDevice> ListMidiOutputs() {
    QList<MidiOutDevice> out;
    MidiOutDevice builtIn;
    builtIn.name = QStringLiteral("Built-in synthesizer");
    builtIn.builtIn = true;
    out << builtIn;
    if (!haveAlsaSequencer()) return out;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) return out;
    const int self = snd_seq_client_id(seq);
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(seq, client) >= 0) {
        const int c = snd_seq_client_info_get_client(client);
        if (c == self || c == SND_SEQ_CLIENT_SYSTEM) continue;
        snd_seq_port_info_set_client(port, c);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(seq, port) >= 0) {
            const unsigned caps = snd_seq_port_info_get_capability(port);
            const unsigned want = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
            if ((caps & want) != want || (caps & SND_SEQ_PORT_CAP_NO_EXPORT)) continue;
            if (!(snd_seq_port_info_get_type(port) & SND_SEQ_PORT_TYPE_MIDI_GENERIC)) continue;
            MidiOutDevice d;
            d.name = QString::fromLocal8Bit(snd_seq_port_info_get_name(port));
            d.alsaClient = c;
            d.alsaPort = snd_seq_port_info_get_port(port);
            out << d;
        }
    }
    snd_seq_close(seq);
    return out;
}

void SynthSink::send(int status, int d1, int d2) {
    const int ch = first_ + (status & 0x0F);
    switch (status & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth_, ch, d1); break;
    case 0x90: d2 ? fluid_synth_noteon(synth_, ch, d1, d2) : fluid_synth_noteoff(synth_, ch, d1); break;
    case 0xA0: fluid_synth_key_pressure(synth_, ch, d1, d2); break;
    case 0xB0: fluid_synth_cc(synth_, ch, d1, d2); break;
    case 0xC0: fluid_synth_program_change(synth_, ch, d1); break;
    case 0xD0: fluid_synth_channel_pressure(synth_, ch, d1); break;
    case 0xE0: fluid_synth_pitch_bend(synth_, ch, d1 | d2 << 7); break;
    default: break;
    }
}

void SynthSink::sendSysex(const QByteArray& bytes) {
    if (first_ != 0) return;
    QByteArray body = bytes;
    if (body.endsWith('\xF7')) body.chop(1);
    if (!body.isEmpty()) fluid_synth_sysex(synth_, body.constData(), static_cast<int>(body.size()), nullptr, nullptr, nullptr, 0);
}

void SynthSink::allNotesOff() {
    for (int ch = first_; ch < first_ + 16; ++ch) fluid_synth_all_notes_off(synth_, ch);
}

struct AlsaSink::Impl {
    snd_seq_t* seq = nullptr;
    int port = -1;
    int queue = -1;
    snd_seq_real_time_t delay{};
};

std::unique_ptr<AlsaSink> AlsaSink::open(int client, int port, qint64 latencyNs, QString* error) {
    std::unique_ptr<AlsaSink> sink(new AlsaSink);
    sink->d_ = std::make_unique<Impl>();
    Impl& d = *sink->d_;
    if (!haveAlsaSequencer() || snd_seq_open(&d.seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
        if (error) *error = QStringLiteral("The ALSA sequencer is not available.");
        return nullptr;
    }
    snd_seq_set_client_name(d.seq, "Cantavo!");
    d.port = snd_seq_create_simple_port(d.seq, "Cantavo! out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (d.port < 0 || snd_seq_connect_to(d.seq, d.port, client, port) < 0) {
        if (error) *error = QStringLiteral("The MIDI Out device %1:%2 cannot be connected.").arg(client).arg(port);
        return nullptr;
    }
    d.queue = snd_seq_alloc_queue(d.seq);
    snd_seq_start_queue(d.seq, d.queue, nullptr);
    snd_seq_drain_output(d.seq);
    d.delay.tv_sec = static_cast<unsigned>(latencyNs / 1000000000);
    d.delay.tv_nsec = static_cast<unsigned>(latencyNs % 1000000000);
    return sink;
}

AlsaSink::~AlsaSink() {
    if (d_ && d_->seq) {
        allNotesOff();
        snd_seq_close(d_->seq);
    }
}

void AlsaSink::send(int status, int d1, int d2) {
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, d_->port);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_schedule_real(&ev, d_->queue, 1, &d_->delay);
    const int ch = status & 0x0F;
    switch (status & 0xF0) {
    case 0x90: snd_seq_ev_set_noteon(&ev, ch, d1, d2); break;
    case 0x80: snd_seq_ev_set_noteoff(&ev, ch, d1, d2); break;
    case 0xA0: snd_seq_ev_set_keypress(&ev, ch, d1, d2); break;
    case 0xB0: snd_seq_ev_set_controller(&ev, ch, d1, d2); break;
    case 0xC0: snd_seq_ev_set_pgmchange(&ev, ch, d1); break;
    case 0xD0: snd_seq_ev_set_chanpress(&ev, ch, d1); break;
    case 0xE0: snd_seq_ev_set_pitchbend(&ev, ch, (d1 | d2 << 7) - 8192); break;
    default: return;
    }
    snd_seq_event_output(d_->seq, &ev);
    snd_seq_drain_output(d_->seq);
}

void AlsaSink::sendSysex(const QByteArray& bytes) {
    QByteArray whole = QByteArray(1, '\xF0') + bytes;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, d_->port);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_schedule_real(&ev, d_->queue, 1, &d_->delay);
    snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(whole.size()), whole.data());
    snd_seq_event_output(d_->seq, &ev);
    snd_seq_drain_output(d_->seq);
}

void AlsaSink::allNotesOff() {
    snd_seq_drop_output(d_->seq);  // what was scheduled and not yet sent
    for (int ch = 0; ch < 16; ++ch) {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_source(&ev, d_->port);
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        snd_seq_ev_set_controller(&ev, ch, 123, 0);
        snd_seq_event_output(d_->seq, &ev);
    }
    snd_seq_drain_output(d_->seq);
}

}  // namespace cantavo
