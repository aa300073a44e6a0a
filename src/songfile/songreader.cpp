#include "songreader.h"

#include <QFileInfo>

#include <limits>
#include <vector>

#include "chartable.h"
#include "songencoding.h"
#include "karaoketext.h"
#include "lyricheader.h"
#include "numbers.h"
#include "trackwalker.h"

namespace cantavo {

const QString kNotMidiFileMessage = QStringLiteral("ERROR! This is not a MIDI File");
const QString kNotKaraokeFileMessage =
    QStringLiteral("Warning! This file does not look like a karaoke file\r\n(lyrics would not be shown)");
const QString kNotMidiFileTitle = QStringLiteral("Non è un file MIDI");
const QString kNotKaraokeFileTitle = QStringLiteral("Non è un file KARAOKE");

void SongModel::clear() {
    *this = SongModel();
}

QString KeyName(int sf, bool minor) {
    static const char* const major[15] = {"Cb", "Gb", "Db", "Ab", "Eb", "Bb", "F", "C", "G", "D", "A", "E", "B", "F#", "C#"};
    static const char* const minorNames[15] = {"Ab", "Eb", "Bb", "F", "C", "G", "D", "A", "E", "B", "F#", "C#", "G#", "D#", "A#"};
    if (sf < -7 || sf > 7) return {};
    return QString::fromLatin1((minor ? minorNames : major)[sf + 7]);
}

namespace {

constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();

[[noreturn]] void overflow() {
    throw SongReadError(SongReadError::Kind::Overflow, QStringLiteral("Overflow"));
}

qint32 fitInt32(qint64 v) {
    if (v > kInt32Max || v < std::numeric_limits<qint32>::min()) overflow();
    return static_cast<qint32>(v);
}

// Removes the line ends at the front or the back of a text and counts them; "\r\n" is one.
int StripLineEnds(QString& t, bool front) {
    int count = 0;
    auto isEnd = [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); };
    while (!t.isEmpty() && isEnd(front ? t.front() : t.back())) {
        const bool pair = front ? t.startsWith(QStringLiteral("\r\n")) : t.endsWith(QStringLiteral("\r\n"));
        const int n = pair ? 2 : 1;
        if (front) t.remove(0, n);
        else t.chop(n);
        ++count;
    }
    return count;
}

struct TrackTexts {
    std::vector<MetaEvent> texts;  // type 0x01 and 0x05, in file order
    int lyricEvents = 0;
    int plainTexts = 0;            // 0x01 events that are not tags
    QByteArray name;               // the first sequence or track name (0x03)
};

// A first pass over every track, tolerant of damage: it learns the song's text encoding,
// the latest end of any track, and the candidates for the lyric fallback. A read error here
// just stops the pass; the reading proper reports errors in the tracks it reads.
struct SongSurvey {
    std::vector<TrackTexts> tracks;
    SongEncoding encoding;
    qint64 lastTick = 0;
    QByteArray lyricHeader;  // the first text event holding a Thai editor's lyrics, if any
    EncodingGuess guess;
};

// `forced`: the encoding the user chose for this song; empty for the automatic choice.
SongSurvey survey(SongFile& file, qint64 firstTrackAt, const QString& forced) {
    SongSurvey s;
    QList<QByteArray> texts;
    TrackWalker walker(file);
    qint64 from = firstTrackAt;
    try {
        while (walker.beginTrack(from)) {
            TrackTexts tt;
            MetaEvent e;
            bool more = true;
            while (more) {
                more = walker.next(e);
                if (!more) break;
                if (e.type == 0x03) {
                    if (tt.name.isEmpty()) tt.name = e.data;
                    texts.append(e.data);
                }
                if (e.type != 0x01 && e.type != 0x05) continue;
                // Base64, no words: neither a syllable nor a sample of the song's code page.
                if (e.type == 0x01 && IsLyricHeader(e.data)) {
                    if (s.lyricHeader.isEmpty()) s.lyricHeader = e.data;
                    continue;
                }
                texts.append(e.data);
                if (e.type == 0x05) ++tt.lyricEvents;
                else if (!e.data.startsWith('@')) ++tt.plainTexts;
                tt.texts.push_back(e);
            }
            s.lastTick = std::max(s.lastTick, walker.tick());
            s.tracks.push_back(std::move(tt));
            from = walker.endPosition();
        }
    } catch (const SongReadError&) {
        s.lastTick = std::max(s.lastTick, walker.tick());
    }
    if (forced.isEmpty()) {
        s.encoding = DetectSongEncoding(texts, &s.guess);
    } else {
        s.encoding = SongEncoding::fromName(forced);
        s.guess.basis = QStringLiteral("chosen by the singer");
    }
    return s;
}

class Reader {
public:
    Reader(SongFile& file, SongModel& model, const SongSurvey& survey)
        : m_(model), survey_(survey), walker_(file) {}

    QString text(const QByteArray& bytes) const { return DecodeSongText(bytes, survey_.encoding, true); }

    // The conductor track: tempo map, signatures and tags.
    void readFirstTrack(qint64 from) {
        if (!walker_.beginTrack(from))
            throw SongReadError(SongReadError::Kind::NoTrack, QStringLiteral("The file has no track"));
        int n = 1;
        bool meterSeen = false;
        MetaEvent e;
        while (walker_.next(e)) {
            const QByteArray& d = e.data;
            switch (e.type) {
            case 0x01: {
                QString t = text(d);
                if (t.startsWith(QLatin1Char('@'))) ApplyTag(t, m_.songTitle, m_.songInfo);
                break;
            }
            case 0x51: {
                qint64 tempo = 0;
                for (char c : d) {
                    tempo = tempo * 256 + static_cast<unsigned char>(c);
                    if (tempo > kInt32Max) overflow();
                }
                if (tempo == 0) break;  // a zero tempo is meaningless: the previous tempo goes on
                m_.tempoTick[n] = fitInt32(e.tick);
                m_.tempoBpm[n] = fitInt32(RoundHalfEven(60000000.0 / static_cast<double>(tempo)));
                m_.tempoMicros[n] = static_cast<qint32>(tempo);
                m_.maxBpm = std::max(m_.maxBpm, m_.tempoBpm[n]);
                m_.tempoCount = n;
                ++n;
                break;
            }
            case 0x58: {
                if (meterSeen || d.size() < 2) break;
                int power = static_cast<unsigned char>(d[1]);
                if (power >= 15) overflow();  // the denominator is a 16-bit number
                meterSeen = true;
                m_.timeSigNumerator = static_cast<unsigned char>(d[0]);
                m_.timeSigDenominator = 1 << power;
                m_.panels.meter = SignPosition(m_.timeSigNumerator) + QLatin1Char('/') + QString::number(m_.timeSigDenominator);
                break;
            }
            case 0x59: {
                if (d.size() < 2) break;
                int sf = static_cast<unsigned char>(d[0]);
                if (sf > 7) sf -= 256;
                bool minor = d[1] != 0;
                m_.keyMode = minor ? QStringLiteral("Minor") : QStringLiteral("Major");
                QString name = KeyName(sf, minor);
                if (!name.isEmpty()) m_.keyName = name;
                m_.panels.key = m_.keyName + QLatin1Char(' ') + m_.keyMode;
                break;
            }
            default:
                break;
            }
        }
        next_ = walker_.endPosition();
    }

    // Tracks 2 and 3 under the Soft Karaoke rules; true when lyrics were found.
    bool readLyricTracks() {
        for (int k = 2; k <= 3; ++k) {
            if (walker_.beginTrack(next_)) {
                readLyricTrack();
                next_ = walker_.endPosition();
            }
            finishLyricTrack();
            if (!m_.lyricText[1].isEmpty()) return true;
        }
        return m_.lyricCount > 0;
    }

    void finishLyricTrack() {
        m_.panels.title = m_.songTitle;
        m_.panels.info = m_.songInfo.mid(1);
        if (m_.tempoBpm[1] == 0) m_.tempoBpm[1] = 120;
    }

    // The lyric fallback for files whose words are lyric meta events or plain text events.
    bool readFallbackLyrics(int tracksAlreadyRead) {
        int best = -1, bestCount = 0;
        bool lyricEvents = true;
        for (size_t i = 0; i < survey_.tracks.size(); ++i)
            if (survey_.tracks[i].lyricEvents > bestCount) { best = static_cast<int>(i); bestCount = survey_.tracks[i].lyricEvents; }
        if (best < 0) {
            lyricEvents = false;
            for (size_t i = 0; i < survey_.tracks.size(); ++i)
                if (survey_.tracks[i].plainTexts > bestCount) { best = static_cast<int>(i); bestCount = survey_.tracks[i].plainTexts; }
        }
        if (best < 0) return false;
        const bool applyTags = best >= tracksAlreadyRead;
        int i = 1, pendingBreaks = 0;
        for (const MetaEvent& e : survey_.tracks[static_cast<size_t>(best)].texts) {
            QString t = text(e.data);
            if (e.type == 0x01 && t.startsWith(QLatin1Char('@'))) {
                if (applyTags) ApplyTag(t, m_.songTitle, m_.songInfo);
                continue;
            }
            if ((e.type == 0x05) != lyricEvents) continue;
            int breaks = pendingBreaks + StripLineEnds(t, true);
            pendingBreaks = StripLineEnds(t, false);
            if (t.isEmpty()) {
                pendingBreaks += breaks;
                continue;
            }
            // One line end starts a new line; two in a row (an empty line) a new page. The
            // first syllable starts the first line: the lyrics window shows nothing before it.
            if (i == 1 && breaks == 0) breaks = 1;
            if (breaks > 0 && !t.startsWith(QLatin1Char('/')) && !t.startsWith(QLatin1Char('\\')))
                t.prepend(breaks >= 2 ? QLatin1Char('\\') : QLatin1Char('/'));
            m_.lyricTick[i] = fitInt32(e.tick);
            m_.lyricText[i] = LyricEntry(t);
            m_.lyricCount = i;
            ++i;
        }
        if (m_.lyricCount == 0) return false;
        m_.lyricSource = lyricEvents ? LyricSource::LyricEvents : LyricSource::TextEvents;
        finishLyricTrack();
        return true;
    }

    // The lyrics a Thai editor stored in one text event: each LINE a line, each WORD a
    // syllable at its tick. False, with the reason kept in the model, when they cannot be read.
    bool readLyricHeader(int division) {
        if (survey_.lyricHeader.isEmpty()) return false;
        const LyricHeader h = ReadLyricHeader(survey_.lyricHeader, division);
        if (!h.problem.isEmpty()) {
            m_.lyricsNote = QStringLiteral("The lyrics stored by a Thai karaoke editor could not be read: %1").arg(h.problem);
            return false;
        }
        int i = 1;
        for (const QList<LyricHeaderWord>& line : h.lines) {
            for (qsizetype k = 0; k < line.size(); ++k) {
                m_.lyricTick[i] = fitInt32(line[k].tick);
                m_.lyricText[i] = LyricEntry(k == 0 ? QLatin1Char('/') + line[k].text : line[k].text);
                m_.lyricCount = i++;
            }
        }
        m_.lyricSource = LyricSource::LyricHeader;
        if (m_.songTitle.isEmpty() && !h.title.isEmpty()) {
            m_.songTitle = h.artist.isEmpty() ? h.title : h.title + QStringLiteral("\r\n") + h.artist;
            m_.titleSource = TitleSource::LyricHeader;
        }
        finishLyricTrack();
        return true;
    }

private:
    void readLyricTrack() {
        m_.lyricTrackTime = 0;
        int i = 1;
        MetaEvent e;
        while (walker_.next(e)) {
            m_.lyricTrackTime = fitInt32(e.tick);
            if (e.type != 0x01 || IsLyricHeader(e.data)) continue;
            QString t = text(e.data);
            if (t.startsWith(QLatin1Char('@'))) {
                ApplyTag(t, m_.songTitle, m_.songInfo);
                continue;
            }
            m_.lyricTick[i] = m_.lyricTrackTime;
            m_.lyricText[i] = LyricEntry(t);
            m_.lyricCount = i;
            ++i;
        }
        m_.lyricTrackTime = fitInt32(walker_.tick());
        if (m_.lyricCount > 0) m_.lyricSource = LyricSource::SoftKaraokeText;
    }

    SongModel& m_;
    const SongSurvey& survey_;
    TrackWalker walker_;
    qint64 next_ = 0;
};

// A song without title tags is called by its first track's name (most ".mid" karaoke files
// name their sequence there), else by its file name.
void fallBackTitle(SongModel& m, const SongSurvey& s, const QString& path) {
    if (m.titleSource == TitleSource::LyricHeader) return;
    if (!m.songTitle.isEmpty()) {
        m.titleSource = TitleSource::Tags;
        return;
    }
    QString name;
    if (!s.tracks.empty()) name = DecodeSongText(s.tracks.front().name, s.encoding, true).simplified();
    if (!name.isEmpty()) {
        m.titleSource = TitleSource::TrackName;
    } else {
        name = QFileInfo(path).completeBaseName();
        m.titleSource = TitleSource::FileName;
    }
    m.songTitle = name;
    m.panels.title = name;
}

struct Header {
    bool midi = false;
    bool karaoke = false;
};

// The header facts: format, track count and division.
Header readHeader(SongFile& f, SongModel& m) {
    Header h;
    if (f.size() < 4 || !f.tagAt(0, "MThd")) {
        return h;
    }
    h.midi = true;
    f.seek(4);
    f.Skip(4);  // the header length: the header body is taken to be six bytes
    f.ReadFileByte();
    int formatLow = f.ReadFileByte();
    f.ReadFileByte();
    m.trackCount = f.ReadFileByte();
    m.divisionHigh = f.ReadFileByte();
    m.divisionLow = f.ReadFileByte();
    m.division = m.divisionHigh * 256 + m.divisionLow;
    h.karaoke = formatLow != 0 && m.trackCount >= 3;
    return h;
}

}  // namespace

LoadResult LoadSongData(const QByteArray& data, const QString& path, SongModel& m, SongReadReporter* reporter, const QString& encoding) {
    SongFile file(data);
    m.panels.tempo = QStringLiteral("- - -");
    m.songInfo.clear();
    m.maxBpm = 0;
    try {
        Header h = readHeader(file, m);
        if (!h.midi) {
            if (reporter) {
                reporter->showWarning(kNotMidiFileMessage);
                reporter->closeSong(path);
            }
            return {LoadStatus::NotMidiFile, kNotMidiFileMessage};
        }
        m.panels.tracks = SignPosition(m.trackCount);
        const qint64 firstTrackAt = file.position();
        SongSurvey s = survey(file, firstTrackAt, encoding);
        m.lastEventTick = s.lastTick;
        m.encoding = s.encoding.name();
        m.encodingGuess = s.guess;
        Reader reader(file, m, s);
        reader.readFirstTrack(firstTrackAt);
        bool found = reader.readLyricHeader(m.division);
        if (!found) found = h.karaoke && reader.readLyricTracks();
        if (!found) found = reader.readFallbackLyrics(h.karaoke ? 3 : 1);
        if (found || h.karaoke) fallBackTitle(m, s, path);
        if (!found && !h.karaoke) {
            reader.finishLyricTrack();
            fallBackTitle(m, s, path);
            if (reporter) reporter->showWarning(kNotKaraokeFileMessage);
            return {LoadStatus::NotKaraokeFile, kNotKaraokeFileMessage};
        }
        return {};
    } catch (const SongReadError& e) {
        return {LoadStatus::ReadFailed, e.message()};
    }
}

QString SongReadProblem(const QByteArray& data, const LoadResult& r) {
    if (r.status == LoadStatus::NotKaraokeFile) return QStringLiteral("no lyrics in it");
    if (r.status == LoadStatus::Loaded) return {};
    if (data.isEmpty() && !r.message.startsWith(QStringLiteral("Cannot open"))) return QStringLiteral("the file is empty");
    if (r.status == LoadStatus::NotMidiFile) return QStringLiteral("not a MIDI file");
    const QString& m = r.message;
    if (m.startsWith(QStringLiteral("Cannot open"))) return QStringLiteral("cannot be read (%1)").arg(m.section(QStringLiteral(": "), -1));
    if (m.startsWith(QStringLiteral("Input past end"))) {
        const qint64 n = data.size();
        return n < 1024 ? QStringLiteral("cut off after %1 bytes").arg(n) : QStringLiteral("cut off after %1 KB").arg(n / 1024);
    }
    if (m == QStringLiteral("Overflow")) return QStringLiteral("damaged: a number in it is out of range");
    if (m == QStringLiteral("Subscript out of range")) return QStringLiteral("more words or tracks than a song can hold");
    if (m == QStringLiteral("The file has no track")) return QStringLiteral("no track in it");
    return m;
}

LoadResult LoadSongFile(const QString& path, SongModel& model, SongReadReporter* reporter, const QString& encoding) {
    QByteArray data;
    try {
        data = SongFile::readAll(path);
    } catch (const SongReadError& e) {
        return {LoadStatus::ReadFailed, e.message()};
    }
    return LoadSongData(data, path, model, reporter, encoding);
}

LoadResult ScanSongTitlesData(const QByteArray& data, SongModel& m) {
    SongFile file(data);
    int n = 1;
    auto store = [&](const QString& line) {
        if (n <= kMaxTitleLines) m.titleLines[n++] = line;
    };
    try {
        if (data.size() < 4 || !file.tagAt(0, "MThd")) {
            m.titleLines[1] = kNotMidiFileTitle;
            return {LoadStatus::NotMidiFile, kNotMidiFileMessage};
        }
        file.seek(8);
        file.ReadFileByte();
        int formatLow = file.ReadFileByte();
        file.ReadFileByte();
        m.trackCount = file.ReadFileByte();
        file.Skip(2);
        if (formatLow == 0 || m.trackCount < 3) {
            // Such a file is sung when the reader finds words in it (lyric or text events).
            SongModel words;
            LoadSongData(data, QString(), words);
            if (words.lyricCount == 0) {
                m.titleLines[1] = kNotKaraokeFileTitle;
                return {LoadStatus::NotKaraokeFile, kNotKaraokeFileMessage};
            }
        }
        const qint64 firstTrackAt = file.position();
        const SongEncoding encoding = survey(file, firstTrackAt, {}).encoding;
        TrackWalker walker(file);
        qint64 from = firstTrackAt;
        for (int k = 1; k <= 3 && walker.beginTrack(from); ++k) {
            MetaEvent e;
            while (walker.next(e)) {
                if (e.type != 0x01) continue;
                QString tag;
                if (ClassifyTag(DecodeSongText(e.data, encoding, false), &tag) == TagKind::Title) store(TrimBlanks(tag));
            }
            from = walker.endPosition();
        }
        return {};
    } catch (const SongReadError& e) {
        return {LoadStatus::ReadFailed, e.message()};
    }
}

LoadResult ScanSongTitles(const QString& path, SongModel& model) {
    try {
        return ScanSongTitlesData(SongFile::readAll(path), model);
    } catch (const SongReadError& e) {
        return {LoadStatus::ReadFailed, e.message()};
    }
}

}  // namespace cantavo
