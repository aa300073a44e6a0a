#include "preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>
#include <limits>

#include "atomicfile.h"
#include "chartable.h"
#include "numbers.h"

namespace cantavo {

Preferences DefaultPreferences() {
    Preferences p;
    p.fontName = QStringLiteral("DejaVu Sans");
    p.fontSize = 28;
    p.textColor = 0x00F0E8E8;       // near white
    p.backColor = 0x002E1612;       // deep blue
    p.fontBold = -1;
    p.pilotColor = 0x004AD2FF;      // warm yellow
    p.highlightColor = 0x00FFE03C;  // bright cyan
    p.ribbon = QStringLiteral("ON");
    p.recordBits = 16;
    p.recordStereo = 1;
    p.recordKHz = 44;
    p.midiOutChoice = 0;
    p.top = 60 * 15;
    p.left = 80 * 15;
    p.height = 760 * 15;
    p.width = 1100 * 15;
    return p;
}

double NumericValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    if (text.mid(i, 2).compare(QStringLiteral("&H"), Qt::CaseInsensitive) == 0) {
        i += 2;
        qsizetype start = i;
        while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i].toLatin1()))) ++i;
        const QString digits = text.mid(start, i - start);
        if (digits.isEmpty()) return 0;
        const bool longForm = i < text.size() && text[i] == QLatin1Char('&');
        bool ok = false;
        const quint64 v = digits.toULongLong(&ok, 16);
        if (!ok || v > 0xFFFFFFFFull) return std::numeric_limits<double>::infinity();
        if (!longForm && digits.size() <= 4) return static_cast<qint16>(static_cast<quint16>(v));
        return static_cast<qint32>(static_cast<quint32>(v));
    }
    qsizetype start = i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) ++i;
    bool digits = false, point = false;
    while (i < text.size()) {
        if (text[i].isDigit()) digits = true;
        else if (text[i] == QLatin1Char('.') && !point) point = true;
        else break;
        ++i;
    }
    if (!digits) return 0;
    return text.mid(start, i - start).toDouble();
}

QString ProgramDirectoryPath(const QString& folder, const QString& name) {
    const QString f = folder.trimmed();
    return f.endsWith(QLatin1Char('/')) ? f + name : f + QLatin1Char('/') + name;
}

namespace {

// Numbers go into 16-bit fields; one that does not fit is skipped.
void readShort(const QString& value, int& field) {
    const double v = NumericValue(value);
    if (!std::isfinite(v)) return;
    const qint64 r = RoundHalfEven(v);
    if (r < -32768 || r > 32767) return;
    field = static_cast<int>(r);
}

void readColour(const QString& value, qint32& field) {
    const double v = NumericValue(value);
    if (!std::isfinite(v)) return;
    const qint64 r = RoundHalfEven(v);
    if (r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max()) return;
    field = static_cast<qint32>(r);
}

QString hexColour(qint32 c) { return QStringLiteral("&H") + QString::number(static_cast<quint32>(c), 16).toUpper() + QLatin1Char('&'); }

}  // namespace

Preferences ParsePreferences(const QStringList& lines, const Preferences& d) {
    Preferences p = d;
    // Line n (from 1) read from character `at` (from 1) on; lines beyond the file keep the default.
    auto value = [&](int n, int at, bool* present) {
        *present = n <= lines.size();
        return *present ? lines[n - 1].mid(at - 1) : QString();
    };
    bool has = false;
    QString v;
    if (v = value(2, 10, &has); has) p.fontName = v;
    if (v = value(3, 10, &has); has) readShort(v, p.fontSize);
    if (v = value(4, 11, &has); has) readColour(v, p.textColor);
    if (v = value(5, 11, &has); has) readColour(v, p.backColor);
    if (v = value(6, 8, &has); has) p.backBitmap = v;
    if (v = value(7, 8, &has); has) readShort(v, p.fontItalic);
    if (v = value(8, 6, &has); has) readShort(v, p.fontBold);
    if (v = value(9, 7, &has); has) readShort(v, p.fontUnderline);
    if (v = value(10, 8, &has); has) readShort(v, p.fontStrikethru);
    if (v = value(11, 7, &has); has) readColour(v, p.pilotColor);
    if (v = value(12, 11, &has); has) readColour(v, p.highlightColor);
    if (v = value(13, 8, &has); has) p.ribbon = v;
    if (v = value(14, 7, &has); has) p.userSound1 = v;
    if (v = value(15, 7, &has); has) p.userSound2 = v;
    if (v = value(16, 7, &has); has) readShort(v, p.recordBits);
    if (v = value(17, 9, &has); has) readShort(v, p.recordStereo);
    if (v = value(18, 6, &has); has) readShort(v, p.recordKHz);
    if (v = value(19, 9, &has); has) readShort(v, p.midiOutChoice);
    if (v = value(20, 5, &has); has) p.dir = v;
    if (v = value(21, 5, &has); has) readShort(v, p.top);
    if (v = value(22, 6, &has); has) readShort(v, p.left);
    if (v = value(23, 8, &has); has) readShort(v, p.height);
    if (v = value(24, 7, &has); has) readShort(v, p.width);
    return p;
}

bool ReadPreferences(const QString& path, Preferences& prefs, const Preferences& defaults) {
    QByteArray bytes;
    if (!ReadInputFile(path, kMaxTextBytes, &bytes, nullptr)) {
        prefs = defaults;
        return false;
    }
    QString text = DecodeTextFile(bytes);
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r'))) l.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    prefs = ParsePreferences(lines, defaults);
    return true;
}

QByteArray FormatPreferences(const Preferences& p) {
    const QStringList lines = {
        QStringLiteral("[Cantavo!]"),
        QStringLiteral("FontName=") + p.fontName,
        QStringLiteral("FontSize=") + SignPosition(p.fontSize),
        QStringLiteral("ForeColor=") + hexColour(p.textColor),
        QStringLiteral("BackColor=") + hexColour(p.backColor),
        QStringLiteral("Bitmap=") + p.backBitmap,
        QStringLiteral("Italic=") + SignPosition(p.fontItalic),
        QStringLiteral("Bold=") + SignPosition(p.fontBold),
        QStringLiteral("Under=") + SignPosition(p.fontUnderline),
        QStringLiteral("Strike=") + SignPosition(p.fontStrikethru),
        QStringLiteral("Pilot=") + hexColour(p.pilotColor),
        QStringLiteral("Highlight=") + hexColour(p.highlightColor),
        QStringLiteral("Ribbon=") + p.ribbon,
        QStringLiteral("User1=") + p.userSound1,
        QStringLiteral("User2=") + p.userSound2,
        QStringLiteral("Bits=") + SignPosition(p.recordBits),
        QStringLiteral("Stereo=") + SignPosition(p.recordStereo),
        QStringLiteral("KHz=") + SignPosition(p.recordKHz),
        QStringLiteral("MidiOut=") + SignPosition(p.midiOutChoice),
        QStringLiteral("Dir=") + p.dir,
        QStringLiteral("Top=") + SignPosition(p.top),
        QStringLiteral("Left=") + SignPosition(p.left),
        QStringLiteral("Height=") + SignPosition(p.height),
        QStringLiteral("Width=") + SignPosition(p.width),
    };
    QByteArray out;
    for (const QString& l : lines) out += l.toUtf8() + "\r\n";
    return out;
}

bool WritePreferences(const QString& path, const Preferences& prefs, QString* error) {
    QString why;
    if (WriteFileAtomically(path, FormatPreferences(prefs), &why)) return true;
    if (error) *error = QStringLiteral("The preferences could not be saved to %1: %2").arg(path, why);
    return false;
}

QString PreferencesPath(const QString& programDir, bool installed, const QString& fileName) {
    const QString inProgram = ProgramDirectoryPath(programDir, fileName);
    const QFileInfo dir(programDir);
    if (!installed && dir.isWritable() && (!QFileInfo::exists(inProgram) || QFileInfo(inProgram).isWritable())) return inProgram;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::home().filePath(QStringLiteral(".config"));
    const QString folder = QDir(config).filePath(QStringLiteral("cantavo"));
    QDir().mkpath(folder);
    const QString own = QDir(folder).filePath(fileName);
    if (!QFileInfo::exists(own) && QFileInfo::exists(inProgram)) QFile::copy(inProgram, own);
    QFile::setPermissions(own, QFile::permissions(own) | QFileDevice::WriteOwner);
    return own;
}

}  // namespace cantavo
