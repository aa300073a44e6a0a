#include "melody.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "livesettings.h"

namespace cantavo {

namespace {

// Walks the tempo map in either direction; both conversions share it so they are exact
// inverses of each other.
struct TempoWalk {
    const Melody& m;
    template <typename Done>
    void walk(Done&& done) const {
        double tick = 0, ms = 0, micros = 500000;
        for (const TempoChange& t : m.tempo) {
            if (t.tick > tick) {
                const double nextMs = ms + (static_cast<double>(t.tick) - tick) * micros / 1000.0 / m.division;
                if (done(tick, ms, micros, static_cast<double>(t.tick), nextMs)) return;
                ms = nextMs;
                tick = static_cast<double>(t.tick);
            }
            micros = t.micros;
        }
        done(tick, ms, micros, HUGE_VAL, HUGE_VAL);
    }
};

}  // namespace

double Melody::msAtTick(double tick) const {
    if (division <= 0) return 0;
    double result = 0;
    TempoWalk{*this}.walk([&](double t0, double ms0, double micros, double t1, double) {
        if (tick > t1) return false;
        result = ms0 + (tick - t0) * micros / 1000.0 / division;
        return true;
    });
    return result;
}

double Melody::tickAtMs(double ms) const {
    if (division <= 0) return 0;
    double result = 0;
    TempoWalk{*this}.walk([&](double t0, double ms0, double micros, double, double ms1) {
        if (ms > ms1) return false;
        result = t0 + (ms - ms0) * 1000.0 * division / micros;
        return true;
    });
    return result;
}

int Melody::noteAt(double ms) const {
    const auto it = std::upper_bound(notes.begin(), notes.end(), ms, [](double v, const MelodyNote& n) { return v < n.startMs; });
    if (it == notes.begin()) return -1;
    const auto& n = *(it - 1);
    return ms < n.endMs ? static_cast<int>(it - notes.begin()) - 1 : -1;
}

int Melody::lowest() const {
    if (notes.empty()) return 60;
    return std::min_element(notes.begin(), notes.end(), [](const MelodyNote& a, const MelodyNote& b) { return a.pitch < b.pitch; })->pitch;
}

int Melody::highest() const {
    if (notes.empty()) return 72;
    return std::max_element(notes.begin(), notes.end(), [](const MelodyNote& a, const MelodyNote& b) { return a.pitch < b.pitch; })->pitch;
}

int ChannelTrack(const SongEvents& events, int channel) {
    std::array<int, 256> count{};
    for (const SongEvent& e : events.events)
        if (e.sysex < 0 && (e.status & 0xF0) == 0x90 && e.data2 > 0 && (e.status & 0x0F) == channel) ++count[e.track];
    const auto best = std::max_element(count.begin(), count.end());
    return *best > 0 ? static_cast<int>(best - count.begin()) : -1;
}

Melody BuildMelody(const SongModel& song, const SongEvents& events, int channel, int key, int keepChannel) {
    Melody m;
    m.division = events.timeCode ? 0 : events.division;
    m.tempo = events.tempo;
    m.chosen = channel >= 0 && channel < 16;
    m.channel = m.chosen ? channel : MelodyChannel(song, events);
    if (m.channel < 0 || m.division <= 0) {
        m.channel = -1;
        return m;
    }
    m.track = ChannelTrack(events, m.channel);
    const int shift = m.channel == keepChannel - 1 ? 0 : key;

    // The channel's notes, paired on and off; a chord keeps its top note.
    struct Raw {
        qint64 on, off;
        int note;
    };
    std::vector<Raw> raw;
    std::array<int, 128> open;
    open.fill(-1);
    for (const SongEvent& e : events.events) {
        if (e.sysex >= 0 || (e.status & 0x0F) != m.channel) continue;
        const int kind = e.status & 0xF0;
        if (kind == 0x90 && e.data2 > 0) {
            if (open[e.data1] >= 0) raw[static_cast<size_t>(open[e.data1])].off = e.tick;
            open[e.data1] = static_cast<int>(raw.size());
            raw.push_back({e.tick, -1, e.data1});
        } else if (kind == 0x80 || kind == 0x90) {
            if (open[e.data1] >= 0) raw[static_cast<size_t>(open[e.data1])].off = e.tick;
            open[e.data1] = -1;
        }
    }
    for (Raw& r : raw)
        if (r.off < 0) r.off = std::max(events.endTick, r.on);
    std::stable_sort(raw.begin(), raw.end(), [](const Raw& a, const Raw& b) { return a.on != b.on ? a.on < b.on : a.note > b.note; });

    // The sung lines: syllable ticks grouped as the lyrics window groups them into lines.
    struct Span {
        int number;
        QString text;
        qint64 first, last;
    };
    std::vector<Span> spans;
    int number = 0;
    for (int i = 1; i <= song.lyricCount; ++i) {
        const QString s = SyllableText(song.lyricText[i]);
        const bool newLine = StartsLine(s);
        if (newLine) ++number;
        const qint64 t = song.lyricTick[i];
        if (spans.empty() || spans.back().number != number) spans.push_back({number, QString(), t, t});
        Span& sp = spans.back();
        sp.text += newLine ? s.mid(1) : s;
        sp.first = std::min(sp.first, t);
        sp.last = std::max(sp.last, t);
    }
    const qint64 window = std::max(1, m.division / 8);

    size_t next = 0;
    for (size_t r = 0; r < raw.size(); ++r) {
        if (r > 0 && raw[r].on == raw[r - 1].on) continue;  // a lower note of a chord
        while (next < spans.size() && spans[next].last + window < raw[r].on) ++next;
        if (next == spans.size() || raw[r].on < spans[next].first - window) continue;
        if (!m.notes.empty() && m.notes.back().endTick > raw[r].on) m.notes.back().endTick = raw[r].on;
        if (raw[r].off <= raw[r].on) continue;  // a note of no length cuts the one before, and is not sung
        if (m.lines.empty() || m.lines.back().number != spans[next].number) {
            MelodyLine line;
            line.number = spans[next].number;
            line.text = spans[next].text.trimmed();
            line.firstNote = static_cast<int>(m.notes.size());
            m.lines.push_back(line);
        }
        MelodyNote n;
        n.startTick = raw[r].on;
        n.endTick = raw[r].off;
        n.pitch = TransposedNote(raw[r].note, shift);
        n.line = static_cast<int>(m.lines.size()) - 1;
        ++m.lines.back().noteCount;
        m.notes.push_back(n);
    }
    for (MelodyNote& n : m.notes) {
        n.startMs = m.msAtTick(static_cast<double>(n.startTick));
        n.endMs = m.msAtTick(static_cast<double>(n.endTick));
    }
    return m;
}

}  // namespace cantavo
