#include "songevents.h"

#include <algorithm>

#include "bytereader.h"
#include "trackwalker.h"

namespace cantavo {

int EventOrder(const SongEvent& e) {
    const int kind = e.status & 0xF0;
    if (kind == 0x80 || (kind == 0x90 && e.data2 == 0)) return 0;
    if (e.sysex >= 0) return 1;
    if (kind == 0x90) return 3;
    return 2;
}

bool LoadSongEvents(const QByteArray& data, SongEvents& out, QString* error) {
    out = SongEvents();
    SongFile file(data);
    if (!file.tagAt(0, "MThd") || data.size() < 14) {
        if (error) *error = QStringLiteral("ERROR! This is not a MIDI File");
        return false;
    }
    struct Keyed {
        SongEvent event;
        int track;
        qint64 order;
    };
    std::vector<Keyed> all;
    try {
        file.seek(12);
        const int high = file.ReadFileByte();
        const int low = file.ReadFileByte();
        out.timeCode = high >= 0x80;
        out.division = high * 256 + low;
        TrackWalker walker(file);
        qint64 from = file.position();
        int track = 0;
        qint64 order = 0;
        while (walker.beginTrack(from)) {
            TrackEvent e;
            out.trackNames.emplace_back();
            while (walker.nextEvent(e)) {
                if (e.status == 0xFF) {
                    if (e.type == 0x03 && out.trackNames.back().isEmpty()) out.trackNames.back() = e.data;
                    if (e.type == 0x51 && e.data.size() >= 3) {
                        double micros = 0;
                        for (char c : e.data) micros = micros * 256 + static_cast<unsigned char>(c);
                        if (micros > 0) out.tempo.push_back({e.tick, micros});
                    }
                    continue;
                }
                SongEvent s;
                s.tick = e.tick;
                s.status = static_cast<quint8>(e.status);
                s.data1 = static_cast<quint8>(e.data1 & 0x7F);
                s.data2 = static_cast<quint8>(e.data2 & 0x7F);
                s.track = static_cast<quint8>(std::min(track, 255));
                if (e.status == 0xF0 || e.status == 0xF7) {
                    s.sysex = static_cast<int>(out.sysex.size());
                    out.sysex.push_back(e.data);
                }
                all.push_back({s, track, order++});
            }
            out.endTick = std::max(out.endTick, walker.tick());
            from = walker.endPosition();
            ++track;
        }
        if (track == 0) {
            if (error) *error = QStringLiteral("The file has no track");
            return false;
        }
    } catch (const SongReadError& e) {
        if (error) *error = e.message();
        return false;
    }
    std::stable_sort(all.begin(), all.end(), [](const Keyed& a, const Keyed& b) {
        if (a.event.tick != b.event.tick) return a.event.tick < b.event.tick;
        const int ka = EventOrder(a.event), kb = EventOrder(b.event);
        if (ka != kb) return ka < kb;
        if (a.track != b.track) return a.track < b.track;
        return a.order < b.order;
    });
    out.events.reserve(all.size());
    for (const Keyed& k : all) out.events.push_back(k.event);
    std::stable_sort(out.tempo.begin(), out.tempo.end(), [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    return true;
}

}  // namespace cantavo
