#include "songencoding.h"

#include <QStringDecoder>

#include <uchardet.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "chartable.h"

namespace cantavo {

namespace {

// A code page the detector weighs: the scripts its texts are written in, and for the Latin
// ones the accented letters their languages use (a text of another language read through
// it shows letters from outside the set, or symbols inside words).
struct Candidate {
    const char* codePage;
    const char* label;
    QList<QChar::Script> scripts;
    QString latinLetters;  // lower case; empty for the other scripts
    int bytesPerChar;      // 2 for the double-byte code pages
};

const QList<Candidate>& candidates() {
    static const QList<Candidate> list = {
        {"windows-1252", "Western (Windows-1252)", {QChar::Script_Latin}, QStringLiteral("àáâãäåæçèéêëìíîïñòóôõöøùúûüÿßœšž"), 1},
        {"windows-1250", "Central European (Windows-1250)", {QChar::Script_Latin},
         QStringLiteral("áäâăąćčďđéěęëíîĺľłńňóôöőŕřśşšťţúůüűýźżž"), 1},
        {"windows-1254", "Turkish (Windows-1254)", {QChar::Script_Latin}, QStringLiteral("âçğıîöşûüéèàáíóú"), 1},
        {"windows-1257", "Baltic (Windows-1257)", {QChar::Script_Latin}, QStringLiteral("āąčēėęģīįķļņōõöšūųüž"), 1},
        {"windows-1258", "Vietnamese (Windows-1258)", {QChar::Script_Latin}, QStringLiteral("àáâãèéêìíòóôõùúýăđơư"), 1},
        {"windows-1251", "Cyrillic (Windows-1251)", {QChar::Script_Cyrillic}, {}, 1},
        {"windows-1253", "Greek (Windows-1253)", {QChar::Script_Greek}, {}, 1},
        {"windows-1255", "Hebrew (Windows-1255)", {QChar::Script_Hebrew}, {}, 1},
        {"windows-1256", "Arabic (Windows-1256)", {QChar::Script_Arabic}, {}, 1},
        {"windows-874", "Thai (Windows-874)", {QChar::Script_Thai}, {}, 1},
        {"Shift_JIS", "Japanese (Shift-JIS)", {QChar::Script_Han, QChar::Script_Hiragana, QChar::Script_Katakana}, {}, 2},
        {"GBK", "Chinese Simplified (GBK)", {QChar::Script_Han}, {}, 2},
        {"Big5", "Chinese Traditional (Big5)", {QChar::Script_Han}, {}, 2},
        {"EUC-KR", "Korean (EUC-KR)", {QChar::Script_Hangul, QChar::Script_Han}, {}, 2},
    };
    return list;
}

// A stray symbol or a mistyped letter is no evidence of another script: the Western songs
// with such strays measured hold one 8-bit byte inside a word, the shortest real titles in a
// script of their own two (a Polish "łąkach") and more.
constexpr int kLeastEvidence = 2;

// What uchardet answers, in the names above; empty for anything else. `raw`: its own name.
QByteArray fromUchardet(const QByteArray& sample, QString* raw) {
    uchardet_t u = uchardet_new();
    uchardet_handle_data(u, sample.constData(), static_cast<size_t>(sample.size()));
    uchardet_data_end(u);
    const QByteArray answer = QByteArray(uchardet_get_charset(u)).toUpper();
    uchardet_delete(u);
    if (raw) *raw = QString::fromLatin1(answer);
    static const QList<QPair<QByteArray, QByteArray>> names = {
        {"WINDOWS-1250", "windows-1250"}, {"ISO-8859-2", "windows-1250"}, {"WINDOWS-1251", "windows-1251"}, {"ISO-8859-5", "windows-1251"},
        {"WINDOWS-1253", "windows-1253"}, {"ISO-8859-7", "windows-1253"}, {"WINDOWS-1254", "windows-1254"}, {"ISO-8859-9", "windows-1254"},
        {"WINDOWS-1255", "windows-1255"}, {"ISO-8859-8", "windows-1255"}, {"WINDOWS-1256", "windows-1256"}, {"ISO-8859-6", "windows-1256"},
        {"WINDOWS-1257", "windows-1257"}, {"ISO-8859-13", "windows-1257"}, {"WINDOWS-1258", "windows-1258"}, {"TIS-620", "windows-874"},
        {"WINDOWS-874", "windows-874"}, {"ISO-8859-11", "windows-874"}, {"SHIFT_JIS", "Shift_JIS"}, {"GB18030", "GBK"},
        {"GB2312", "GBK"}, {"GBK", "GBK"}, {"BIG5", "Big5"}, {"EUC-KR", "EUC-KR"}, {"UHC", "EUC-KR"},
        {"WINDOWS-1252", "windows-1252"}, {"ISO-8859-1", "windows-1252"}, {"ISO-8859-15", "windows-1252"},
    };
    for (const auto& [from, to] : names)
        if (answer == from) return to;
    return {};
}

bool isWordChar(QChar c) { return c.isLetter() || c.isMark(); }

// How well `text` reads as a text of the candidate: each non-ASCII letter in the candidate's
// scripts counts for the bytes it came from; letters of other scripts, and symbols inside
// words, count against. Latin words carry most of their letters in ASCII: a run of accented
// letters is a text of another script seen through a Latin code page. -1: not a text at all.
double plausibility(const QString& text, const Candidate& c) {
    double score = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar ch = text[i];
        if (ch.unicode() < 0x80) {
            ++i;
            continue;
        }
        if (ch == QChar::ReplacementCharacter || ch.category() == QChar::Other_Control || ch.category() == QChar::Other_NotAssigned ||
            ch.category() == QChar::Other_PrivateUse)
            return -1;
        if (!isWordChar(ch)) {
            const bool inside = i > 0 && i + 1 < n && isWordChar(text[i - 1]) && isWordChar(text[i + 1]);
            if (inside) score -= 3;
            ++i;
            continue;
        }
        // A whole word at a time.
        qsizetype start = i;
        while (start > 0 && isWordChar(text[start - 1])) --start;
        qsizetype end = i;
        while (end < n && isWordChar(text[end])) ++end;
        int ascii = 0, native = 0, foreign = 0, run = 0, longestRun = 0, asciiLetters = 0;
        for (qsizetype k = start; k < end; ++k) {
            const QChar w = text[k];
            if (w.unicode() < 0x80) {
                ++ascii;
                asciiLetters += w.isLetter();
                run = 0;
                continue;
            }
            ++run;
            longestRun = std::max(longestRun, run);
            if (w.isMark() && w.script() == QChar::Script_Inherited) {
                native += k > start;  // a combining mark on a letter
                continue;
            }
            const bool inScript = c.scripts.contains(w.script());
            if (!inScript) ++foreign;
            else if (!c.latinLetters.isEmpty()) native += c.latinLetters.contains(w.toLower()) ? 1 : 0;
            else ++native;
        }
        // Words of other scripts do not mix in Latin letters.
        if (c.latinLetters.isEmpty() && asciiLetters > 0) {
            foreign += native;
            native = 0;
        }
        double word = native * c.bytesPerChar - 3.0 * foreign * c.bytesPerChar;
        if (!c.latinLetters.isEmpty() && longestRun >= 3 && longestRun * 2 > ascii) word -= 2.0 * longestRun;
        score += word;
        i = end;
    }
    return score;
}

// How likely a double-byte code page's reading of the bytes is, as the log of the chance
// that a text of its language is made of these characters: each language writes mostly with
// a block of common characters (GB2312's first level, the Hangul syllables of KS X 1001, the
// kana and first-level kanji of JIS X 0208, Big5's frequent characters) and seldom with the
// rest. A short title gives the letters' fit nothing to go on (three Chinese characters are
// six Japanese half-width kana, or three Hangul syllables); the size of the block does: a
// reading from the smaller block that holds them all is the likelier one. The shares are
// round figures, not measured frequencies; they only have to put the blocks in order.
double doubleByteLikelihood(const QByteArray& sample, const char* codePage, int* rare = nullptr) {
    const auto u = [&](qsizetype i) { return static_cast<unsigned char>(sample[i]); };
    const bool sjis = qstrcmp(codePage, "Shift_JIS") == 0, gbk = qstrcmp(codePage, "GBK") == 0,
               big5 = qstrcmp(codePage, "Big5") == 0, euckr = qstrcmp(codePage, "EUC-KR") == 0;
    double sum = 0;
    if (rare) *rare = 0;
    for (qsizetype i = 0; i < sample.size();) {
        const unsigned lead = u(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (sjis && lead >= 0xA1 && lead <= 0xDF) {  // a half-width kana, one byte
            sum += std::log(0.2 / 63);
            if (rare) ++*rare;
            ++i;
            continue;
        }
        if (i + 1 >= sample.size()) break;
        const unsigned trail = u(i + 1);
        const unsigned code = lead << 8 | trail;
        double share = 0.05, block = 20000;  // anything else the code page has
        if (sjis) {
            if ((lead == 0x82 && trail >= 0x9F && trail <= 0xF1) || (lead == 0x83 && trail >= 0x40 && trail <= 0x96))
                share = 0.45, block = 169;
            else if (code >= 0x889F && code <= 0x9872)
                share = 0.3, block = 2965;
        } else if (gbk) {
            if (lead >= 0xB0 && lead <= 0xD7 && trail >= 0xA1) share = 0.9, block = 3755;
        } else if (euckr) {
            if (lead >= 0xB0 && lead <= 0xC8 && trail >= 0xA1) share = 0.9, block = 2350;
        } else if (big5) {
            if (lead >= 0xA4 && lead <= 0xC6) share = 0.9, block = 5401;
        }
        if (lead >= 0xA1 && lead <= 0xA9 && !sjis && !big5) share = 0.05, block = 700;  // punctuation and symbols
        sum += std::log(share / block);
        if (rare && share < 0.1) ++*rare;
        i += 2;
    }
    return sum;
}

}  // namespace

QString SongEncoding::name() const { return codePage.isEmpty() ? QStringLiteral("character-table") : QString::fromLatin1(codePage); }

SongEncoding SongEncoding::fromName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String("character-table")) return {};
    if (name.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0) return {"UTF-8"};
    for (const Candidate& c : candidates())
        if (name.compare(QLatin1String(c.codePage), Qt::CaseInsensitive) == 0) return {c.codePage};
    return {};
}

QList<EncodingChoice> SongEncodingChoices() {
    QList<EncodingChoice> out{{QStringLiteral("character-table"), QStringLiteral("Western (DOS characters and Windows-1252)")},
                              {QStringLiteral("UTF-8"), QStringLiteral("Unicode (UTF-8)")}};
    for (const Candidate& c : candidates())
        if (qstrcmp(c.codePage, "windows-1252") != 0) out.append({QString::fromLatin1(c.codePage), QString::fromLatin1(c.label)});
    return out;
}

QString DecodeSongText(const QByteArray& bytes, const SongEncoding& encoding, bool useTable) {
    if (encoding.isCharacterTable()) return useTable ? ConvertOemChars(bytes) : DecodeWindows1252(bytes);
    QByteArray copy = bytes;
    if (useTable) copy.replace('\0', ' ');
    if (encoding.codePage == "UTF-8") return QString::fromUtf8(copy);
    QStringDecoder decoder(encoding.codePage.constData());
    if (!decoder.isValid()) return ConvertOemChars(bytes);
    return decoder.decode(copy);
}

QString NotTextReason(const QString& text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80 && c.isPrint()) continue;
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t')) continue;
        if (c == QChar::ReplacementCharacter) return QStringLiteral("bytes the code page does not have");
        switch (c.category()) {
        case QChar::Other_Control: return QStringLiteral("a control character");
        case QChar::Other_NotAssigned: return QStringLiteral("an unassigned character");
        case QChar::Other_PrivateUse: return QStringLiteral("a private-use character");
        default: break;
        }
        if (c.isMark() && (i == 0 || !isWordChar(text[i - 1]))) return QStringLiteral("a combining mark on no letter");
        if (!isWordChar(c) && i > 0 && i + 1 < n && isWordChar(text[i - 1]) && isWordChar(text[i + 1]))
            return QStringLiteral("a symbol inside a word");
    }
    // Letters in an order no writer puts them: a small letter followed by a capital inside a
    // Greek or Cyrillic word (Latin has its "iPhone" and "McCartney"), or an Arabic tanween,
    // which ends a word, with a letter after it.
    for (qsizetype i = 1; i + 1 < n; ++i) {
        const QChar a = text[i], b = text[i + 1];
        const bool cased = a.script() == QChar::Script_Greek || a.script() == QChar::Script_Cyrillic;
        if (cased && a.isLower() && b.isUpper() && b.script() == a.script())
            return QStringLiteral("a capital after a small letter inside a word");
        if (a.unicode() >= 0x064B && a.unicode() <= 0x064D && isWordChar(text[i - 1]) && b.isLetter())
            return QStringLiteral("a word's last mark inside a word");
    }
    // Words are made of letters: a reading whose 8-bit characters in words are mostly symbols
    // glued to letters is the wrong code page.
    int letters = 0, symbols = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) continue;
        const bool touching = (i > 0 && isWordChar(text[i - 1])) || (i + 1 < n && isWordChar(text[i + 1]));
        if (isWordChar(c)) ++letters;
        else if (touching) ++symbols;
    }
    if (symbols > letters) return QStringLiteral("8-bit characters in words that are mostly symbols");
    // A word of Latin letters with letters of another script in it.
    for (qsizetype i = 0; i < n;) {
        if (!isWordChar(text[i])) {
            ++i;
            continue;
        }
        bool ascii = false, otherScript = false;
        for (; i < n && isWordChar(text[i]); ++i) {
            const QChar w = text[i];
            if (w.unicode() < 0x80) ascii = true;
            else if (w.isLetter() && w.script() != QChar::Script_Latin && w.script() != QChar::Script_Common) otherScript = true;
        }
        if (ascii && otherScript) return QStringLiteral("letters of two scripts in one word");
    }
    return {};
}

SongEncoding DetectSongEncoding(const QList<QByteArray>& texts, EncodingGuess* guess) {
    EncodingGuess own;
    EncodingGuess& g = guess ? *guess : own;
    g = EncodingGuess{};
    QByteArray sample;
    bool allUtf8 = true, multiByte = false, high = false;
    for (QByteArray t : texts) {
        // A tag's letter ("@T", "@I") is not part of the words after it.
        if (t.size() >= 2 && t[0] == '@' && std::isalpha(static_cast<unsigned char>(t[1]))) t.remove(0, 2);
        bool multi = false;
        if (!IsValidUtf8(t, &multi)) allUtf8 = false;
        multiByte = multiByte || multi;
        high = high || std::any_of(t.begin(), t.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; });
        sample += t;
        sample += '\n';
    }
    if (!high) {
        g.basis = QStringLiteral("no 8-bit text");
        return {};
    }
    if (allUtf8 && multiByte) {
        g.basis = QStringLiteral("UTF-8");
        return {"UTF-8"};
    }
    // 8-bit bytes inside words: next to a letter or to another 8-bit byte. A "©" standing
    // alone is no letter of any script.
    const auto eightBit = [&](qsizetype i) { return i >= 0 && i < sample.size() && static_cast<unsigned char>(sample[i]) >= 0x80; };
    const auto letter = [&](qsizetype i) { return i >= 0 && i < sample.size() && std::isalpha(static_cast<unsigned char>(sample[i])); };
    bool dos = true;
    for (qsizetype i = 0; i < sample.size(); ++i) {
        if (!eightBit(i)) continue;
        g.eightBitBytes += eightBit(i - 1) || eightBit(i + 1) || letter(i - 1) || letter(i + 1);
        // The accented letters DOS karaoke editors wrote, which the statistical detector
        // takes for a Windows code page's.
        const QByteArray one(1, sample[i]);
        const QString table = ConvertOemChars(one);
        dos = dos && table != DecodeWindows1252(one) && table.front().isLetter();
    }
    if (g.eightBitBytes < kLeastEvidence) {
        g.basis = QStringLiteral("too few 8-bit bytes");
        return {};
    }
    // Katakana in Shift-JIS are lead bytes that the character table has as accented letters
    // ("カラオケ" is "âJâëâIâP"); a Latin word with DOS accents never reads as a text of one
    // script through a double-byte code page (its letters end up glued to ideographs).
    if (dos) {
        for (const Candidate& c : candidates()) {
            if (c.bytesPerChar != 2) continue;
            QStringDecoder decoder(c.codePage, QStringDecoder::Flag::Stateless);
            const QString text = decoder.decode(sample);
            int rare = 0;
            doubleByteLikelihood(sample, c.codePage, &rare);
            if (!decoder.hasError() && rare == 0 && NotTextReason(text).isEmpty()) dos = false;
        }
    }
    if (dos) {
        g.basis = QStringLiteral("DOS letters");
        return {};
    }
    const QByteArray suggested = fromUchardet(sample, &g.detector);
    if (!suggested.isEmpty() && suggested != "windows-1252") {
        QStringDecoder decoder(suggested.constData(), QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(sample);
        g.veto = decoder.hasError() ? QStringLiteral("bytes the code page does not have") : NotTextReason(text);
        if (g.veto.isEmpty()) {
            g.basis = QStringLiteral("detector");
            return {suggested};
        }
    }
    // The detector has no usable answer (too little text for its statistics, or a reading
    // that is no text): the reading whose letters fit a script's code page best.
    g.basis = QStringLiteral("weighing");

    // The Western reading, as karaoke files have always been read, is the one to beat.
    const Candidate& western = candidates().front();
    QString westernText;
    for (const QByteArray& line : sample.split('\n')) westernText += ConvertOemChars(line) + QLatin1Char('\n');
    double westernScore = plausibility(westernText, western);
    {
        QStringDecoder decoder(western.codePage, QStringDecoder::Flag::Stateless);
        westernScore = std::max(westernScore, plausibility(decoder.decode(sample), western));
    }

    const Candidate* best = nullptr;
    double bestScore = 0;
    for (const Candidate& c : candidates()) {
        if (&c == &western) continue;
        QStringDecoder decoder(c.codePage, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(sample);
        if (decoder.hasError() || !NotTextReason(text).isEmpty()) continue;
        double score = plausibility(text, c);
        // Only a reading clearly better than the Western one is taken; among those the
        // statistical detector breaks near-ties.
        if (score <= 0 || score <= westernScore) continue;
        // A tie: every 8-bit byte is a letter either way. Bytes that pair up wholly into a
        // language's common characters are the explanation with fewer coincidences in it.
        int rare = 1;
        if (best && score == bestScore && c.bytesPerChar == 2 && best->bytesPerChar == 1) doubleByteLikelihood(sample, c.codePage, &rare);
        if (!best || score > bestScore || rare == 0) {
            best = &c;
            bestScore = score;
        }
    }
    if (!best) return {};
    // Between double-byte readings the letters' fit cannot choose (one Chinese character is
    // two half-width kana); the blocks the characters come from can.
    if (best->bytesPerChar == 2) {
        double bestLikelihood = doubleByteLikelihood(sample, best->codePage);
        for (const Candidate& c : candidates()) {
            if (c.bytesPerChar != 2 || &c == best) continue;
            QStringDecoder decoder(c.codePage, QStringDecoder::Flag::Stateless);
            const QString text = decoder.decode(sample);
            if (decoder.hasError() || !NotTextReason(text).isEmpty() || plausibility(text, c) <= std::max(0.0, westernScore)) continue;
            const double likelihood = doubleByteLikelihood(sample, c.codePage);
            if (likelihood > bestLikelihood) {
                best = &c;
                bestLikelihood = likelihood;
            }
        }
    }
    return {best->codePage};
}

}  // namespace cantavo
