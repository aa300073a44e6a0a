#include "lyricheader.h"

#include <QStringDecoder>
#include <QXmlStreamReader>

#include <zlib.h>

#include <cmath>

#include "chartable.h"

namespace cantavo {

namespace {

// Far more than the words of any song; a stream that inflates past it is not lyrics.
constexpr qsizetype kMostXmlBytes = 8 << 20;

// The length of the header word ("LyrHdr1", "KLyrHdr12"), 0 when the text has none.
qsizetype headerLength(const QByteArray& text) {
    qsizetype at = text.startsWith("KLyrHdr") ? 7 : text.startsWith("LyrHdr") ? 6 : -1;
    if (at < 0) return 0;
    const qsizetype digits = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    return at > digits ? at : 0;
}

// Inflates a whole zlib stream; false with the reason when it is damaged or cut off.
bool inflateAll(const QByteArray& packed, QByteArray& out, QString& problem) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        problem = QStringLiteral("zlib could not start");
        return false;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    z.avail_in = static_cast<uInt>(packed.size());
    char chunk[16384];
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        result = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, static_cast<qsizetype>(sizeof chunk - z.avail_out));
        if (out.size() > kMostXmlBytes) result = Z_MEM_ERROR;
        if (result == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    if (result == Z_STREAM_END) return true;
    problem = result == Z_BUF_ERROR || result == Z_OK ? QStringLiteral("its zlib stream is cut off")
              : result == Z_MEM_ERROR                  ? QStringLiteral("its zlib stream unpacks to more than lyrics can be")
                                                       : QStringLiteral("its zlib stream is damaged");
    return false;
}

}  // namespace

bool IsLyricHeader(const QByteArray& text) { return headerLength(text) > 0; }

LyricHeader ReadLyricHeader(const QByteArray& text, int division) {
    LyricHeader h;
    const qsizetype start = headerLength(text);
    if (start == 0) {
        h.problem = QStringLiteral("it does not start with a lyrics header word");
        return h;
    }
    const auto decoded = QByteArray::fromBase64Encoding(text.mid(start).trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        h.problem = QStringLiteral("its base64 text is damaged");
        return h;
    }
    QByteArray xml;
    if (!inflateAll(*decoded, xml, h.problem)) return h;
    // The editors write TIS-620 under a UTF-8 declaration; a file really in UTF-8 reads as such.
    const QString document = IsValidUtf8(xml, nullptr) ? QString::fromUtf8(xml) : QStringDecoder("windows-874").decode(xml);
    QXmlStreamReader r(document);
    bool midi24 = false;
    QList<QList<QPair<double, QString>>> lines;
    QString info, element;
    QPair<double, QString> word;
    bool inWord = false, inInfo = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            element = r.name().toString();
            if (element == QLatin1String("INFO")) inInfo = true;
            else if (element == QLatin1String("LINE")) lines.append(QList<QPair<double, QString>>());
            else if (element == QLatin1String("WORD")) inWord = true, word = {};
        } else if (r.isEndElement()) {
            const QStringView name = r.name();
            if (name == QLatin1String("INFO")) inInfo = false;
            else if (name == QLatin1String("WORD") && inWord) {
                inWord = false;
                if (!lines.isEmpty()) lines.last().append(word);
            }
            element.clear();
        } else if (r.isCharacters() && !r.isWhitespace()) {
            const QString value = r.text().toString().trimmed();
            if (inInfo && element == QLatin1String("TITLE")) h.title = value;
            else if (inInfo && element == QLatin1String("ARTIST")) h.artist = value;
            else if (inInfo && element == QLatin1String("TIME_FORMAT")) midi24 = value == QLatin1String("MIDI_TIME_24");
            else if (inWord && element == QLatin1String("TIME")) word.first = value.toDouble();
            else if (inWord && element == QLatin1String("TEXT")) word.second = r.text().toString();
        }
    }
    if (r.hasError()) {
        h.problem = QStringLiteral("its XML cannot be read (%1, line %2)").arg(r.errorString()).arg(r.lineNumber());
        return h;
    }
    for (const auto& line : lines) {
        QList<LyricHeaderWord> words;
        for (const auto& [time, textOfWord] : line) {
            if (textOfWord.trimmed().isEmpty() || textOfWord.trimmed().startsWith(QLatin1Char('@'))) continue;
            const double tick = midi24 ? time * division / 24.0 : time;
            if (!std::isfinite(tick) || tick < 0 || tick > 2e9) continue;
            words.append({static_cast<qint64>(std::llround(tick)), textOfWord});
        }
        if (!words.isEmpty()) h.lines.append(words);
    }
    if (h.lines.isEmpty()) h.problem = QStringLiteral("it holds no words to sing");
    return h;
}

}  // namespace cantavo
