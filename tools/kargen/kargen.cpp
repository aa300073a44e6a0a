// kargen: writes a Standard MIDI File (or a Soft Karaoke .kar file) from a text score.
//
// The score language is described in tools/kargen/README.md. Every song, intro tune and
// test fixture the program ships is produced by this tool from a score kept beside it.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include <iconv.h>
#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<uint8_t>;

struct Event {
    uint32_t tick = 0;
    int priority = 0;  // same tick: meta and program first, then note-offs, then note-ons
    int sequence = 0;
    Bytes bytes;       // status byte and data; raw events are written verbatim after their delta
    bool raw = false;
};

struct Track {
    std::vector<Event> events;
    uint32_t cursor = 0;
    int channel = 0;
    int velocity = 96;
    int wordsTrack = -1;     // 0-based index of the track that receives this track's syllables
    uint8_t wordsType = 0x01;
    bool runningStatus = true;
    bool endOfTrack = true;
    bool bareEndOfTrack = false;
    Bytes afterEndOfTrack;   // counted in the chunk length
    Bytes gapAfterChunk;     // not counted: bytes between this chunk and the next
    long declaredLength = -1;
};

struct Song {
    int format = 1;
    int division = 480;
    int divisionHigh = -1, divisionLow = -1;
    std::string headerTag = "MThd";
    int declaredTracks = -1;
    int transpose = 0;
    std::vector<Track> tracks;
    Bytes trailing;
    long truncateTo = -1;
    int sequence = 0;
};

[[noreturn]] void fail(int line, const std::string& what) {
    throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}

// Splits one statement into words; a quoted string is one word, kept with its quotes.
std::vector<std::string> splitWords(const std::string& s, int line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        if (std::isspace(static_cast<unsigned char>(s[i]))) { ++i; continue; }
        if (s[i] == '"') {
            size_t j = s.find('"', i + 1);
            if (j == std::string::npos) fail(line, "unterminated string");
            out.push_back(s.substr(i, j - i + 1));
            i = j + 1;
        } else {
            size_t j = i;
            while (j < s.size() && !std::isspace(static_cast<unsigned char>(s[j]))) ++j;
            out.push_back(s.substr(i, j - i));
            i = j;
        }
    }
    return out;
}

// The code page the score's strings are written in (set by `encoding`); empty: as typed.
std::string textEncoding;

Bytes iconvBytes(const std::string& to, const std::string& from, const Bytes& in, bool* ok) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    *ok = cd != reinterpret_cast<iconv_t>(-1);
    if (!*ok) return {};
    std::string src(in.begin(), in.end());
    std::string out(src.size() * 4 + 16, '\0');
    char* s = src.data();
    char* d = out.data();
    size_t left = src.size(), room = out.size();
    *ok = iconv(cd, &s, &left, &d, &room) != static_cast<size_t>(-1) && left == 0;
    iconv_close(cd);
    return Bytes(out.data(), d);
}

// Vietnamese as Vietnamese keyboards write it in CP1258: every tone mark a combining byte of
// its own after the vowel (iconv writes the precomposed letter where the code page has one).
// The table comes from the code page itself: each vowel byte with each tone byte, read back.
Bytes vietnameseDecomposed(const Bytes& utf8, int line) {
    static std::map<std::string, Bytes> toned;
    if (toned.empty()) {
        for (int base = 0x41; base <= 0xFF; ++base) {
            for (int tone : {0xCC, 0xEC, 0xDE, 0xD2, 0xF2}) {
                bool ok = false;
                const Bytes composed = iconvBytes("UTF-8", "CP1258", Bytes{static_cast<uint8_t>(base), static_cast<uint8_t>(tone)}, &ok);
                const Bytes single = iconvBytes("UTF-32LE", "UTF-8", composed, &ok);
                if (ok && single.size() == 4) toned[std::string(composed.begin(), composed.end())] = Bytes{static_cast<uint8_t>(base), static_cast<uint8_t>(tone)};
            }
        }
    }
    Bytes out;
    for (size_t i = 0; i < utf8.size();) {
        size_t n = utf8[i] < 0x80 ? 1 : utf8[i] < 0xE0 ? 2 : utf8[i] < 0xF0 ? 3 : 4;
        const std::string ch(utf8.begin() + static_cast<long>(i), utf8.begin() + static_cast<long>(std::min(utf8.size(), i + n)));
        const auto it = toned.find(ch);
        if (it != toned.end()) {
            out.insert(out.end(), it->second.begin(), it->second.end());
        } else {
            bool ok = false;
            const Bytes one = iconvBytes("CP1258", "UTF-8", Bytes(ch.begin(), ch.end()), &ok);
            if (!ok) fail(line, "a string cannot be written in CP1258");
            out.insert(out.end(), one.begin(), one.end());
        }
        i += n;
    }
    return out;
}

// Converts the UTF-8 of the score into `textEncoding`.
Bytes encoded(const Bytes& utf8, int line) {
    if (textEncoding.empty()) return utf8;
    if (textEncoding == "CP1258-DECOMPOSED") return vietnameseDecomposed(utf8, line);
    iconv_t cd = iconv_open(textEncoding.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) fail(line, "unknown encoding " + textEncoding);
    std::string in(utf8.begin(), utf8.end());
    std::string out(in.size() * 4 + 16, '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t left = in.size(), room = out.size();
    const size_t r = iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) fail(line, "a string cannot be written in " + textEncoding);
    return Bytes(out.data(), dst);
}

std::string base64(const Bytes& in) {
    static const char* const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        const uint32_t v = static_cast<uint32_t>(in[i]) << 16 | (i + 1 < in.size() ? in[i + 1] << 8 : 0) | (i + 2 < in.size() ? in[i + 2] : 0);
        out += digits[v >> 18 & 63];
        out += digits[v >> 12 & 63];
        out += i + 1 < in.size() ? digits[v >> 6 & 63] : '=';
        out += i + 2 < in.size() ? digits[v & 63] : '=';
    }
    return out;
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else out += c;
    }
    return out;
}

// The lyrics of a song as Thai karaoke editors store them: an XML document (INFO, then
// LYRIC of LINEs of WORDs with their TIME and TEXT), compressed with zlib and written in
// base64 behind a header word, as one text event.
struct LyricHeaderScore {
    std::string header;
    std::vector<std::pair<std::string, std::string>> info;
    std::vector<std::vector<std::pair<long, std::string>>> lines;
};

// A quoted string with <HH> escapes for raw bytes.
Bytes stringBytes(const std::string& word, int line) {
    if (word.size() < 2 || word.front() != '"' || word.back() != '"') fail(line, "expected a quoted string: " + word);
    Bytes out;
    for (size_t i = 1; i + 1 < word.size(); ++i) {
        if (word[i] == '<' && i + 3 < word.size() && word[i + 3] == '>' &&
            std::isxdigit(static_cast<unsigned char>(word[i + 1])) && std::isxdigit(static_cast<unsigned char>(word[i + 2]))) {
            out.push_back(static_cast<uint8_t>(std::stoi(word.substr(i + 1, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(static_cast<uint8_t>(word[i]));
        }
    }
    return encoded(out, line);
}

long number(const std::string& w, int line) {
    try {
        size_t used = 0;
        long v = std::stol(w, &used, 0);
        if (used != w.size()) fail(line, "not a number: " + w);
        return v;
    } catch (const std::logic_error&) {
        fail(line, "not a number: " + w);
    }
}

Bytes hexBytes(const std::vector<std::string>& words, size_t from, int line) {
    Bytes out;
    for (size_t i = from; i < words.size(); ++i) {
        long v = number("0x" + words[i], line);
        if (v < 0 || v > 255) fail(line, "not a byte: " + words[i]);
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

// A duration: ticks ("240"), note values ("q", "e.", "h+q") or a count of them ("48q").
uint32_t duration(const std::string& w, int division, int line) {
    size_t digits = 0;
    while (digits < w.size() && std::isdigit(static_cast<unsigned char>(w[digits]))) ++digits;
    if (digits == w.size() && digits > 0) return static_cast<uint32_t>(number(w, line));
    if (digits > 0) return static_cast<uint32_t>(number(w.substr(0, digits), line)) * duration(w.substr(digits), division, line);
    static const std::map<char, double> beats{{'w', 4}, {'h', 2}, {'q', 1}, {'e', 0.5}, {'s', 0.25}, {'t', 0.125}};
    double total = 0;
    for (const std::string& part : [&] {
             std::vector<std::string> parts;
             std::stringstream ss(w);
             std::string p;
             while (std::getline(ss, p, '+')) parts.push_back(p);
             return parts;
         }()) {
        if (part.empty() || !beats.count(part[0])) fail(line, "bad duration: " + w);
        double b = beats.at(part[0]);
        double add = b;
        for (size_t i = 1; i < part.size(); ++i) {
            if (part[i] != '.') fail(line, "bad duration: " + w);
            b /= 2;
            add += b;
        }
        total += add;
    }
    return static_cast<uint32_t>(total * division + 0.5);
}

int noteNumber(const std::string& w, int transpose, int line) {
    if (!w.empty() && std::isdigit(static_cast<unsigned char>(w[0]))) return static_cast<int>(number(w, line));
    static const std::map<char, int> base{{'C', 0}, {'D', 2}, {'E', 4}, {'F', 5}, {'G', 7}, {'A', 9}, {'B', 11}};
    if (w.empty() || !base.count(w[0])) fail(line, "bad note: " + w);
    int n = base.at(w[0]);
    size_t i = 1;
    while (i < w.size() && (w[i] == '#' || w[i] == 'b')) n += (w[i++] == '#') ? 1 : -1;
    if (i >= w.size()) fail(line, "note without octave: " + w);
    int octave = static_cast<int>(number(w.substr(i), line));
    int midi = (octave + 1) * 12 + n + transpose;
    if (midi < 0 || midi > 127) fail(line, "note out of range: " + w);
    return midi;
}

// Chord symbol: root, optional # or b, optional m, optional 7.
std::vector<int> chordNotes(const std::string& sym, int octave, int transpose, int line) {
    size_t i = 1;
    std::string root = sym.substr(0, 1);
    while (i < sym.size() && (sym[i] == '#' || sym[i] == 'b')) root += sym[i++];
    bool minor = i < sym.size() && sym[i] == 'm';
    if (minor) ++i;
    bool seventh = i < sym.size() && sym[i] == '7';
    if (seventh) ++i;
    if (i != sym.size()) fail(line, "bad chord: " + sym);
    int r = noteNumber(root + std::to_string(octave), transpose, line);
    std::vector<int> notes{r, r + (minor ? 3 : 4), r + 7};
    if (seventh) notes.push_back(r + 10);
    return notes;
}

class Parser {
public:
    explicit Parser(Song& song) : song_(song) {}

    void parse(std::istream& in) {
        std::vector<std::pair<int, std::string>> statements;
        std::string text;
        int line = 0;
        while (std::getline(in, text)) {
            ++line;
            std::string stmt;
            bool quoted = false;
            for (size_t k = 0; k < text.size(); ++k) {
                char c = text[k];
                if (c == '"') quoted = !quoted;
                // A comment starts with '#' after a blank; "F#4" is a note.
                if (!quoted && c == '#' && (k == 0 || std::isspace(static_cast<unsigned char>(text[k - 1])))) break;
                if (!quoted && c == ';') {
                    statements.emplace_back(line, stmt);
                    stmt.clear();
                    continue;
                }
                stmt += c;
            }
            statements.emplace_back(line, stmt);
        }
        size_t pos = 0;
        run(statements, pos, false);
    }

private:
    Song& song_;
    LyricHeaderScore lyricHeader_;

    // `lh-write [cut N] [bad-base64] [bad-zlib]`: the event, damaged as asked.
    void writeLyricHeader(Track& t, const std::vector<std::string>& w, int line) {
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<SONG_LYRIC>\r\n  <INFO>\r\n";
        for (const auto& [key, value] : lyricHeader_.info) xml += "    <" + key + ">" + xmlEscaped(value) + "</" + key + ">\r\n";
        xml += "  </INFO>\r\n  <LYRIC>\r\n";
        for (const auto& words : lyricHeader_.lines) {
            xml += "    <LINE>\r\n";
            if (!words.empty()) xml += "      <TIME>" + std::to_string(words.front().first) + "</TIME>\r\n";
            for (const auto& [time, text] : words)
                xml += "      <WORD>\r\n        <TIME>" + std::to_string(time) + "</TIME>\r\n        <TEXT>" + xmlEscaped(text) +
                       "</TEXT>\r\n        <VOCAL></VOCAL>\r\n      </WORD>\r\n";
            xml += "    </LINE>\r\n";
        }
        xml += "  </LYRIC>\r\n</SONG_LYRIC>\r\n";
        // The words are in the song's code page already (as strings of the score are), whatever
        // the declaration says: as the editors write them.
        const Bytes text(xml.begin(), xml.end());
        uLongf size = compressBound(static_cast<uLong>(text.size()));
        Bytes packed(size);
        if (compress2(packed.data(), &size, text.data(), static_cast<uLong>(text.size()), 9) != Z_OK) fail(line, "zlib failed");
        packed.resize(size);
        size_t cut = 0;
        for (size_t i = 1; i < w.size(); ++i) {
            if (w[i] == "cut" && i + 1 < w.size()) cut = static_cast<size_t>(number(w[++i], line));
            else if (w[i] == "bad-zlib") for (size_t k = packed.size() / 3; k < packed.size() / 3 + 8 && k < packed.size(); ++k) packed[k] ^= 0x5A;
            else if (w[i] != "bad-base64") fail(line, "lh-write: unknown damage " + w[i]);
        }
        std::string event = lyricHeader_.header + base64(packed);
        if (std::find(w.begin(), w.end(), "bad-base64") != w.end()) event.insert(event.size() / 2, "*%!");
        if (cut > 0 && cut < event.size()) event.resize(cut);
        meta(t, 0x01, Bytes(event.begin(), event.end()));
        lyricHeader_ = {};
    }

    Track& current(int line) {
        if (song_.tracks.empty()) fail(line, "no track started");
        return song_.tracks.back();
    }

    void add(Track& t, uint32_t tick, int priority, Bytes bytes, bool raw = false) {
        t.events.push_back(Event{tick, priority, song_.sequence++, std::move(bytes), raw});
    }

    void meta(Track& t, uint8_t type, const Bytes& data) {
        Bytes b{0xFF, type};
        uint32_t len = static_cast<uint32_t>(data.size());
        Bytes vlq;
        do { vlq.insert(vlq.begin(), static_cast<uint8_t>(len & 0x7F)); len >>= 7; } while (len);
        for (size_t i = 0; i + 1 < vlq.size(); ++i) vlq[i] |= 0x80;
        b.insert(b.end(), vlq.begin(), vlq.end());
        b.insert(b.end(), data.begin(), data.end());
        add(t, t.cursor, 0, b);
    }

    void note(Track& t, int n, uint32_t dur, const Bytes* syllable) {
        if (syllable) {
            if (t.wordsTrack < 0 || t.wordsTrack >= static_cast<int>(song_.tracks.size()))
                throw std::runtime_error("syllable given but no words track set");
            Track& w = song_.tracks[static_cast<size_t>(t.wordsTrack)];
            uint32_t saved = w.cursor;
            w.cursor = t.cursor;
            meta(w, t.wordsType, *syllable);
            w.cursor = saved;
        }
        if (n >= 0) {
            add(t, t.cursor, 2, Bytes{static_cast<uint8_t>(0x90 | t.channel), static_cast<uint8_t>(n), static_cast<uint8_t>(t.velocity)});
            add(t, t.cursor + dur, 1, Bytes{static_cast<uint8_t>(0x80 | t.channel), static_cast<uint8_t>(n), 0x40});
        }
    }

    void run(const std::vector<std::pair<int, std::string>>& st, size_t& pos, bool inRepeat) {
        while (pos < st.size()) {
            int line = st[pos].first;
            std::vector<std::string> w = splitWords(st[pos].second, line);
            ++pos;
            if (w.empty()) continue;
            const std::string& cmd = w[0];
            if (cmd == "end") {
                if (!inRepeat) fail(line, "end without repeat");
                return;
            }
            if (cmd == "repeat") {
                long count = number(w.at(1), line);
                size_t bodyStart = pos;
                for (long i = 0; i < count; ++i) {
                    pos = bodyStart;
                    run(st, pos, true);
                }
                continue;
            }
            statement(w, line);
        }
        if (inRepeat) throw std::runtime_error("repeat without end");
    }

    void statement(const std::vector<std::string>& w, int line) {
        const std::string& cmd = w[0];
        auto need = [&](size_t n) { if (w.size() < n + 1) fail(line, cmd + " needs " + std::to_string(n) + " argument(s)"); };
        if (cmd == "division") { need(1); song_.division = static_cast<int>(number(w[1], line)); return; }
        if (cmd == "division-bytes") { need(2); song_.divisionHigh = static_cast<int>(number(w[1], line)); song_.divisionLow = static_cast<int>(number(w[2], line)); return; }
        if (cmd == "format") { need(1); song_.format = static_cast<int>(number(w[1], line)); return; }
        if (cmd == "header-tag") { need(1); song_.headerTag = w[1]; return; }
        if (cmd == "declare-tracks") { need(1); song_.declaredTracks = static_cast<int>(number(w[1], line)); return; }
        if (cmd == "encoding") { need(1); textEncoding = w[1]; return; }
        if (cmd == "transpose") { need(1); song_.transpose = static_cast<int>(number(w[1], line)); return; }
        if (cmd == "trailing") { song_.trailing = hexBytes(w, 1, line); return; }
        if (cmd == "truncate") { need(1); song_.truncateTo = number(w[1], line); return; }
        if (cmd == "track") {
            song_.tracks.emplace_back();
            if (w.size() > 1) meta(song_.tracks.back(), 0x03, stringBytes(w[1], line));
            return;
        }
        Track& t = current(line);
        if (cmd == "words") {
            need(1);
            t.wordsTrack = static_cast<int>(number(w[1], line)) - 1;
            t.wordsType = (w.size() > 2 && w[2] == "lyric") ? 0x05 : 0x01;
        } else if (cmd == "ch") {
            need(1); t.channel = static_cast<int>(number(w[1], line)) - 1;
            if (t.channel < 0 || t.channel > 15) fail(line, "channel is 1..16");
        } else if (cmd == "vel") {
            need(1); t.velocity = static_cast<int>(number(w[1], line));
        } else if (cmd == "running-status") {
            need(1); t.runningStatus = w[1] == "on";
        } else if (cmd == "program") {
            need(1); add(t, t.cursor, 0, Bytes{static_cast<uint8_t>(0xC0 | t.channel), static_cast<uint8_t>(number(w[1], line))});
        } else if (cmd == "control") {
            need(2);
            add(t, t.cursor, 0, Bytes{static_cast<uint8_t>(0xB0 | t.channel), static_cast<uint8_t>(number(w[1], line)), static_cast<uint8_t>(number(w[2], line))});
        } else if (cmd == "tempo") {
            need(1);
            double bpm = std::stod(w[1]);
            long us = static_cast<long>(60000000.0 / bpm + 0.5);
            meta(t, 0x51, Bytes{static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)});
        } else if (cmd == "tempo-us") {
            need(1);
            long us = number(w[1], line);
            meta(t, 0x51, Bytes{static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)});
        } else if (cmd == "timesig") {
            need(1);
            size_t slash = w[1].find('/');
            if (slash == std::string::npos) fail(line, "timesig N/D");
            long num = number(w[1].substr(0, slash), line), den = number(w[1].substr(slash + 1), line);
            uint8_t power = 0;
            while ((1L << power) < den) ++power;
            meta(t, 0x58, Bytes{static_cast<uint8_t>(num), power, 24, 8});
        } else if (cmd == "keysig") {
            need(2);
            meta(t, 0x59, Bytes{static_cast<uint8_t>(static_cast<int8_t>(number(w[1], line))), static_cast<uint8_t>(w[2] == "minor" ? 1 : 0)});
        } else if (cmd == "lyric-header") {
            need(1);
            const Bytes h = stringBytes(w[1], line);
            lyricHeader_ = {std::string(h.begin(), h.end()), {}, {}};
        } else if (cmd == "lh-info") {
            need(2);
            const Bytes v = stringBytes(w[2], line);
            lyricHeader_.info.emplace_back(w[1], std::string(v.begin(), v.end()));
        } else if (cmd == "lh-line") {
            lyricHeader_.lines.emplace_back();
        } else if (cmd == "lh-word") {
            need(2);
            if (lyricHeader_.lines.empty()) fail(line, "lh-word before lh-line");
            const Bytes v = stringBytes(w[2], line);
            lyricHeader_.lines.back().emplace_back(number(w[1], line), std::string(v.begin(), v.end()));
        } else if (cmd == "lh-write") {
            writeLyricHeader(t, w, line);
        } else if (cmd == "text") {
            need(1); meta(t, 0x01, stringBytes(w[1], line));
        } else if (cmd == "lyric") {
            need(1); meta(t, 0x05, stringBytes(w[1], line));
        } else if (cmd == "meta") {
            need(2); meta(t, static_cast<uint8_t>(number(w[1], line)), stringBytes(w[2], line));
        } else if (cmd == "raw") {
            add(t, t.cursor, 0, hexBytes(w, 1, line), true);
        } else if (cmd == "n") {
            need(2);
            int n = w[1] == "r" ? -1 : noteNumber(w[1], song_.transpose, line);
            uint32_t d = duration(w[2], song_.division, line);
            Bytes syl;
            if (w.size() > 3) syl = stringBytes(w[3], line);
            note(t, n, d, w.size() > 3 ? &syl : nullptr);
            t.cursor += d;
        } else if (cmd == "chord") {
            need(2);
            uint32_t d = duration(w.back(), song_.division, line);
            for (size_t i = 1; i + 1 < w.size(); ++i) note(t, noteNumber(w[i], song_.transpose, line), d, nullptr);
            t.cursor += d;
        } else if (cmd == "chords" || cmd == "bass") {
            need(2);
            uint32_t d = duration(w[1], song_.division, line);
            for (size_t i = 2; i < w.size(); ++i) {
                if (w[i] == "r") {
                    t.cursor += d;
                    continue;
                }
                std::vector<int> notes = chordNotes(w[i], cmd == "bass" ? 2 : 3, song_.transpose, line);
                if (cmd == "bass") notes.resize(1);
                for (int n : notes) note(t, n, d, nullptr);
                t.cursor += d;
            }
        } else if (cmd == "seq") {
            need(3);
            long count = number(w[1], line);
            uint32_t d = duration(w[2], song_.division, line);
            for (long c = 0; c < count; ++c) {
                for (size_t i = 3; i < w.size(); ++i) {
                    std::stringstream ss(w[i]);
                    std::string part;
                    while (std::getline(ss, part, '+'))
                        if (part != "r") note(t, noteNumber(part, 0, line), d / 2, nullptr);
                    t.cursor += d;
                }
            }
        } else if (cmd == "rest") {
            need(1); t.cursor += duration(w[1], song_.division, line);
        } else if (cmd == "no-eot") {
            t.endOfTrack = false;
        } else if (cmd == "eot-bare") {
            t.bareEndOfTrack = true;
        } else if (cmd == "after-eot") {
            t.afterEndOfTrack = hexBytes(w, 1, line);
        } else if (cmd == "gap") {
            t.gapAfterChunk = hexBytes(w, 1, line);
        } else if (cmd == "chunk-length") {
            need(1); t.declaredLength = number(w[1], line);
        } else {
            fail(line, "unknown statement: " + cmd);
        }
    }
};

void put32(Bytes& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void putVarLen(Bytes& out, uint32_t v) {
    Bytes groups;
    do { groups.insert(groups.begin(), static_cast<uint8_t>(v & 0x7F)); v >>= 7; } while (v);
    for (size_t i = 0; i + 1 < groups.size(); ++i) groups[i] |= 0x80;
    out.insert(out.end(), groups.begin(), groups.end());
}

Bytes trackBody(Track& t) {
    std::stable_sort(t.events.begin(), t.events.end(), [](const Event& a, const Event& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        if (a.priority != b.priority) return a.priority < b.priority;
        return a.sequence < b.sequence;
    });
    Bytes body;
    uint32_t now = 0;
    int running = -1;
    for (const Event& e : t.events) {
        putVarLen(body, e.tick - now);
        now = e.tick;
        if (e.raw) {
            body.insert(body.end(), e.bytes.begin(), e.bytes.end());
            running = -1;
            continue;
        }
        uint8_t status = e.bytes[0];
        size_t from = 0;
        if (status < 0xF0) {
            if (t.runningStatus && status == running) from = 1;
            running = status;
        } else {
            running = -1;
        }
        body.insert(body.end(), e.bytes.begin() + static_cast<long>(from), e.bytes.end());
    }
    if (t.endOfTrack) {
        uint32_t end = std::max(now, t.cursor);
        putVarLen(body, end - now);
        body.push_back(0xFF);
        body.push_back(0x2F);
        if (!t.bareEndOfTrack) body.push_back(0x00);
    }
    body.insert(body.end(), t.afterEndOfTrack.begin(), t.afterEndOfTrack.end());
    return body;
}

Bytes render(Song& song) {
    Bytes out(song.headerTag.begin(), song.headerTag.end());
    put32(out, 6);
    out.push_back(static_cast<uint8_t>(song.format >> 8));
    out.push_back(static_cast<uint8_t>(song.format));
    int count = song.declaredTracks >= 0 ? song.declaredTracks : static_cast<int>(song.tracks.size());
    out.push_back(static_cast<uint8_t>(count >> 8));
    out.push_back(static_cast<uint8_t>(count));
    if (song.divisionHigh >= 0) {
        out.push_back(static_cast<uint8_t>(song.divisionHigh));
        out.push_back(static_cast<uint8_t>(song.divisionLow));
    } else {
        out.push_back(static_cast<uint8_t>(song.division >> 8));
        out.push_back(static_cast<uint8_t>(song.division));
    }
    for (Track& t : song.tracks) {
        Bytes body = trackBody(t);
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        put32(out, static_cast<uint32_t>(t.declaredLength >= 0 ? t.declaredLength : static_cast<long>(body.size())));
        out.insert(out.end(), body.begin(), body.end());
        out.insert(out.end(), t.gapAfterChunk.begin(), t.gapAfterChunk.end());
    }
    out.insert(out.end(), song.trailing.begin(), song.trailing.end());
    if (song.truncateTo >= 0 && static_cast<size_t>(song.truncateTo) < out.size()) out.resize(static_cast<size_t>(song.truncateTo));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: kargen SCORE OUTPUT.mid\n";
        return 2;
    }
    try {
        std::ifstream in(argv[1]);
        if (!in) throw std::runtime_error(std::string("cannot read ") + argv[1]);
        Song song;
        Parser(song).parse(in);
        Bytes data = render(song);
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        if (!out) throw std::runtime_error(std::string("cannot write ") + argv[2]);
    } catch (const std::exception& e) {
        std::cerr << argv[1] << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
