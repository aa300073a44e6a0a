#include "karaoketext.h"

namespace cantavo {

QString TrimBlanks(const QString& text) {
    qsizetype start = 0, end = text.size();
    while (start < end && text[start] == QLatin1Char(' ')) ++start;
    while (end > start && text[end - 1] == QLatin1Char(' ')) --end;
    return text.mid(start, end - start);
}

TagKind ClassifyTag(const QString& text, QString* tagText) {
    if (!text.startsWith(QLatin1Char('@'))) return TagKind::NotATag;
    if (tagText) *tagText = text.mid(2);
    if (text.size() < 2) return TagKind::Dropped;
    // Tag letters are compared case-sensitively: "@t" is a tag of no known kind.
    switch (text[1].unicode()) {
    case u'T': return TagKind::Title;
    case u'I': return TagKind::Info;
    default: return TagKind::Dropped;
    }
}

TagKind ApplyTag(const QString& text, QString& songTitle, QString& songInfo) {
    QString tag;
    TagKind kind = ClassifyTag(text, &tag);
    static const QString crlf = QStringLiteral("\r\n");
    if (kind == TagKind::Title) {
        songTitle = songTitle.isEmpty() ? tag : TrimBlanks(songTitle + crlf + tag);
    } else if (kind == TagKind::Info) {
        songInfo = TrimBlanks(songInfo + crlf + tag);
    }
    return kind;
}

QString LyricEntry(const QString& text) {
    QString entry = text;
    if (entry.endsWith(QLatin1Char('-'))) entry.chop(1);
    if (entry.startsWith(QStringLiteral("//"))) entry = QLatin1Char('\\') + entry.mid(2);
    return entry;
}

}  // namespace cantavo
