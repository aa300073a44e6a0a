#include "rewriter.h"

#include <QFileInfo>

#include <cmath>

namespace cantavo {

namespace {

int byteAt(const QByteArray& b, qsizetype i) { return static_cast<unsigned char>(b[i]); }

bool isNote(int status) { return status >= 0x80 && status <= 0x9F; }
bool isProgramChange(int status) { return status >= 0xC0 && status <= 0xCF; }
int channelOf(int status) { return (status & 0x0F) + 1; }

}  // namespace

TrackAnalysis AnalyseTrack(const QByteArray& chunk, int keepChannel) {
    TrackAnalysis a;
    ChunkWalker walker(chunk, 8, chunk.size());
    ChunkEvent e;
    while (walker.next(e) == ChunkWalker::Step::Event) {
        if (e.status == 0xFF) {
            if (e.type == 0x03) a.name = chunk.mid(e.metaAt, e.metaLength);
            continue;
        }
        if (e.status < 0x80 || e.status > 0xEF || e.data1At < 0) continue;
        if (isProgramChange(e.status)) {
            a.channel = channelOf(e.status);
            if (a.channel != keepChannel) {
                a.program = byteAt(chunk, e.data1At);
                a.programChannel = a.channel;
                break;
            }
        } else if (isNote(e.status) || e.status >= 0xD0) {
            a.channel = channelOf(e.status);
        }
    }
    return a;
}

bool ModifySettings::mixerInUse() const {
    for (int s : mixer)
        if (s != 100) return true;
    return false;
}

TrackEdit EditFor(const TrackAnalysis& analysis) {
    TrackEdit t;
    t.program = analysis.program;
    t.programChannel = analysis.programChannel;
    return t;
}

bool RewriteTrack(QByteArray& chunk, const ModifySettings& settings, const TrackEdit& edit, IllegalData* where) {
    ChunkWalker walker(chunk, 8, chunk.size());
    ChunkEvent e;
    for (;;) {
        const ChunkWalker::Step step = walker.next(e);
        if (step == ChunkWalker::Step::EndOfTrack || step == ChunkWalker::Step::RanOut) return true;
        if (step == ChunkWalker::Step::Overrun) {
            if (where) *where = {e.statusByte, walker.lastStatus()};
            return false;
        }
        if (e.data1At < 0) continue;
        const int channel = channelOf(e.status);
        if (isNote(e.status)) {
            if (channel != settings.keepChannel && settings.transpose != 0)
                chunk[e.data1At] = static_cast<char>(TransposedNote(byteAt(chunk, e.data1At), settings.transpose));
            const int slider = settings.mixer[static_cast<size_t>(channel - 1)];
            if (e.data2At >= 0 && slider != 100) {
                const int v = byteAt(chunk, e.data2At);
                // A note-on at velocity 0 is a release and stays one.
                if (!(e.status >= 0x90 && v == 0)) chunk[e.data2At] = static_cast<char>(ScaledVelocity(v, slider));
            }
        } else if (isProgramChange(e.status)) {
            if (edit.patchChanged && channel == edit.programChannel && edit.program >= 0 && edit.program <= 127)
                chunk[e.data1At] = static_cast<char>(edit.program);
        }
    }
}

int NewDivision(int divisionHigh, int divisionLow, double tempoPercent) {
    int division = divisionHigh * 256 + divisionLow;
    if (tempoPercent != 0) {
        const double d = (divisionHigh * 256 + divisionLow) * (1 + tempoPercent / 100);
        if (!std::isfinite(d) || std::abs(d) > 1e9) return -1;
        const double high = std::trunc(std::nearbyint(d) / 256);
        const double low = std::nearbyint(d - high * 256);
        if (high < 0 || high > 127 || low < 0 || low > 255) return -1;
        division = static_cast<int>(high) * 256 + static_cast<int>(low);
    }
    return division >= 1 && division <= 32767 ? division : -1;
}

QString RefusalMessage(ModifyRefusal refusal) {
    switch (refusal) {
    case ModifyRefusal::None: return {};
    case ModifyRefusal::NothingToDo: return QStringLiteral("Nothing to do!");
    case ModifyRefusal::AllMuted: return QStringLiteral("Muting all tracks would result in an empty file!");
    case ModifyRefusal::CantMute: return QStringLiteral("This track can't be muted");
    case ModifyRefusal::CantChangePatch: return QStringLiteral("This track's patch can't be changed");
    case ModifyRefusal::BadDivision: return QStringLiteral("Error in modifying file");
    }
    return {};
}

ModifyRefusal CheckModification(const SongChunks& song, const QList<TrackEdit>& edits, const ModifySettings& settings) {
    int muted = 0;
    bool patched = false;
    for (int i = 0; i < edits.size(); ++i) {
        muted += edits[i].muted ? 1 : 0;
        patched = patched || edits[i].patchChanged;
    }
    if (!settings.mixerInUse() && !patched && muted == 0 && settings.tempoPercent == 0 && settings.transpose == 0)
        return ModifyRefusal::NothingToDo;
    for (int i = 0; i < edits.size(); ++i) {
        if (edits[i].muted && i < 3) return ModifyRefusal::CantMute;
        if (edits[i].patchChanged && (i < 2 || edits[i].programChannel < 1 || edits[i].program < 0 || edits[i].program > 127))
            return ModifyRefusal::CantChangePatch;
    }
    const int remaining = static_cast<int>(song.chunks.size()) - muted;
    // Rows 1 to 3 are never muted, so three left means every other track is.
    if (muted > 0 && remaining <= 3) return ModifyRefusal::AllMuted;
    if (NewDivision(song.divisionHigh, song.divisionLow, settings.tempoPercent) < 0) return ModifyRefusal::BadDivision;
    return ModifyRefusal::None;
}

QString IllegalDataMessage(const IllegalData& where) {
    const auto str = [](int n) { return n < 0 ? QString::number(n) : QStringLiteral(" ") + QString::number(n); };
    return QStringLiteral("Illegal data found ") + str(where.status) + str(where.lastStatus);
}

QByteArray WriteModifiedSong(const SongChunks& song, const QList<TrackEdit>& edits, const ModifySettings& settings, RewriteProgress* progress) {
    const int division = NewDivision(song.divisionHigh, song.divisionLow, settings.tempoPercent);
    int kept = 0;
    for (int i = 0; i < song.chunks.size(); ++i) kept += i < edits.size() && edits[i].muted ? 0 : 1;
    QByteArray out("MThd\x00\x00\x00\x06\x00\x01\x00", 11);
    out.append(static_cast<char>(kept & 0xFF));
    out.append(static_cast<char>((division >> 8) & 0xFF));
    out.append(static_cast<char>(division & 0xFF));
    const bool everyTrack = settings.transpose != 0 || settings.mixerInUse();
    for (int i = 0; i < song.chunks.size(); ++i) {
        if (progress) progress->rewriting(i + 1);
        const TrackEdit edit = i < edits.size() ? edits[i] : TrackEdit{};
        if (edit.muted) continue;
        if (!everyTrack && !edit.patchChanged) {
            out += song.chunks[i].bytes;
            continue;
        }
        QByteArray chunk = song.chunks[i].bytes;
        IllegalData where;
        if (!RewriteTrack(chunk, settings, edit, &where) && progress) progress->illegalData(i + 1, where);
        out += chunk;
    }
    return out;
}

QString ModifiedSongPath(const QString& songPath) {
    const QString suffix = QFileInfo(songPath).suffix();
    if (suffix.isEmpty()) return songPath + QStringLiteral(".ktf");
    return songPath.left(songPath.size() - suffix.size()) + QStringLiteral("ktf");
}


}  // namespace cantavo
