#include "lyricsexport.h"

#include <QFileInfo>

namespace cantavo {

QByteArray LyricsFileBytes(const QString& songTitle, const QString& lyricsText) {
    const QString crLf = QStringLiteral("\r\n");
    QString text = songTitle + crLf + crLf + crLf;
    text += lyricsText + crLf;
    text += crLf + crLf;
    text += QStringLiteral("This file was automatically created with Cantavo! 3.0 for Windows95") + crLf;
    text += QStringLiteral("Cantavo! karaoke player: sing along, and keep the words") + crLf;
    return text.toUtf8();
}

QString LyricsFileProposal(const QString& songPath, bool upperCaseExtension) {
    const QString extension = upperCaseExtension ? QStringLiteral("TXT") : QStringLiteral("txt");
    const QString suffix = QFileInfo(songPath).suffix();
    if (suffix.isEmpty()) return songPath + QLatin1Char('.') + extension;
    return songPath.left(songPath.size() - suffix.size()) + extension;
}

}  // namespace cantavo
