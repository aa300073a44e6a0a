#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

#include "preferences.h"

using namespace cantavo;

namespace {

QStringList linesOf(const QByteArray& bytes) {
    QStringList l = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    if (!l.isEmpty() && l.last().isEmpty()) l.removeLast();
    return l;
}

Preferences sample() {
    Preferences p;
    p.fontName = QStringLiteral("Times New Roman");
    p.fontSize = 12;
    p.textColor = 0xFF0000;
    p.backColor = 0;
    p.backBitmap = QStringLiteral("/pictures/stage.bmp");
    p.fontItalic = 0;
    p.fontBold = -1;
    p.fontUnderline = 0;
    p.fontStrikethru = -1;
    p.pilotColor = 0xFFFF;
    p.highlightColor = 0x00FF00;
    p.ribbon = QStringLiteral("ON");
    p.userSound1 = QStringLiteral("/sounds/cheer.wav");
    p.userSound2 = QString();
    p.recordBits = 16;
    p.recordStereo = -1;
    p.recordKHz = 44;
    p.midiOutChoice = 2;
    p.dir = QStringLiteral("/home/singer/songs");
    p.top = 900;
    p.left = 1200;
    p.height = 9000;
    p.width = 12000;
    return p;
}

}  // namespace

TEST(Preferences, TheFileByteForByte) {
    const QByteArray expected =
        "[Cantavo!]\r\nFontName=Times New Roman\r\nFontSize= 12\r\nForeColor=&HFF0000&\r\nBackColor=&H0&\r\n"
        "Bitmap=/pictures/stage.bmp\r\nItalic= 0\r\nBold=-1\r\nUnder= 0\r\nStrike=-1\r\nPilot=&HFFFF&\r\nHighlight=&HFF00&\r\n"
        "Ribbon=ON\r\nUser1=/sounds/cheer.wav\r\nUser2=\r\nBits= 16\r\nStereo=-1\r\nKHz= 44\r\nMidiOut= 2\r\n"
        "Dir=/home/singer/songs\r\nTop= 900\r\nLeft= 1200\r\nHeight= 9000\r\nWidth= 12000\r\n";
    EXPECT_EQ(FormatPreferences(sample()), expected);
}

TEST(Preferences, EverySettingRoundTrips) {
    Preferences p = sample();
    Preferences back = ParsePreferences(linesOf(FormatPreferences(p)), Preferences());
    // "Stereo=-1" is read from one character after the "=": the sign goes.
    EXPECT_EQ(back.recordStereo, 1);
    back.recordStereo = p.recordStereo;
    EXPECT_EQ(back, p);
    const Preferences d = DefaultPreferences();
    EXPECT_EQ(ParsePreferences(linesOf(FormatPreferences(d)), Preferences()), d);
}

TEST(Preferences, ReadByPositionNotByKey) {
    QStringList lines = linesOf(FormatPreferences(sample()));
    lines[1] = QStringLiteral("Highlight=&HFF&");
    const Preferences p = ParsePreferences(lines, Preferences());
    EXPECT_EQ(p.fontName, QStringLiteral("=&HFF&"));
}

TEST(Preferences, Numbers) {
    EXPECT_EQ(NumericValue(QStringLiteral("&HFFFF&")), 65535);
    EXPECT_EQ(NumericValue(QStringLiteral("&HFFFF")), -1);
    EXPECT_EQ(NumericValue(QStringLiteral("&H0&")), 0);
    EXPECT_EQ(NumericValue(QStringLiteral("&HFF0000&")), 0xFF0000);
    EXPECT_EQ(NumericValue(QStringLiteral("  -12abc")), -12);
    EXPECT_EQ(NumericValue(QStringLiteral("abc")), 0);
    EXPECT_EQ(NumericValue(QString()), 0);
    QStringList lines = linesOf(FormatPreferences(sample()));
    lines[3] = QStringLiteral("ForeColor=&HFFFF&");
    lines[2] = QStringLiteral("FontSize= 12.5");
    lines[6] = QStringLiteral("Italic= 13.5");
    lines[20] = QStringLiteral("Top= 40000");   // outside 16 bits: skipped
    lines[21] = QStringLiteral("Left=-32768");
    Preferences d;
    d.top = 77;
    const Preferences p = ParsePreferences(lines, d);
    EXPECT_EQ(p.textColor, 65535);
    EXPECT_EQ(p.fontSize, 12);
    EXPECT_EQ(p.fontItalic, 14);
    EXPECT_EQ(p.top, 77);
    EXPECT_EQ(p.left, -32768);
}

TEST(Preferences, MissingFileAndMissingLinesTakeTheDefaults) {
    const Preferences d = DefaultPreferences();
    Preferences p;
    EXPECT_FALSE(ReadPreferences(QStringLiteral("/no/such/CANTAVO.INI"), p, d));
    EXPECT_EQ(p, d);
    QStringList lines = linesOf(FormatPreferences(sample())).mid(0, 12);
    p = ParsePreferences(lines, d);
    EXPECT_EQ(p.fontName, QStringLiteral("Times New Roman"));
    EXPECT_EQ(p.highlightColor, 0x00FF00);
    EXPECT_EQ(p.ribbon, d.ribbon);
    EXPECT_EQ(p.recordBits, d.recordBits);
    EXPECT_EQ(p.width, d.width);
}

TEST(Preferences, ReadsUtf8AndWindows1252) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CANTAVO.INI"));
    Preferences s = sample();
    s.fontName = QStringLiteral("Déjà Sans");
    ASSERT_TRUE(WritePreferences(path, s, nullptr));
    Preferences p;
    ASSERT_TRUE(ReadPreferences(path, p, Preferences()));
    EXPECT_EQ(p.fontName, QStringLiteral("Déjà Sans"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Cantavo!]\r\nFontName=Caf\xe9\r\n");
    f.close();
    ASSERT_TRUE(ReadPreferences(path, p, Preferences()));
    EXPECT_EQ(p.fontName, QStringLiteral("Café"));
}

TEST(Preferences, ProgramDirectoryPaths) {
    EXPECT_EQ(ProgramDirectoryPath(QStringLiteral("/"), QStringLiteral("CANTAVO.INI")), QStringLiteral("/CANTAVO.INI"));
    EXPECT_EQ(ProgramDirectoryPath(QStringLiteral("/opt/cantavo"), QStringLiteral("CANTAVO.INI")), QStringLiteral("/opt/cantavo/CANTAVO.INI"));
    EXPECT_EQ(ProgramDirectoryPath(QStringLiteral(" /opt/ "), QStringLiteral("a.wav")), QStringLiteral("/opt/a.wav"));
}

TEST(Preferences, InstalledProgramsKeepThemInTheConfigFolder) {
    QTemporaryDir program, config;
    ASSERT_TRUE(WritePreferences(QDir(program.path()).filePath(QStringLiteral("CANTAVO.INI")), sample(), nullptr));
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    EXPECT_EQ(PreferencesPath(program.path(), false), QDir(program.path()).filePath(QStringLiteral("CANTAVO.INI")));
    const QString own = PreferencesPath(program.path(), true);
    EXPECT_EQ(own, QDir(config.path()).filePath(QStringLiteral("cantavo/CANTAVO.INI")));
    Preferences p;
    ASSERT_TRUE(ReadPreferences(own, p, Preferences()));
    EXPECT_EQ(p.fontName, QStringLiteral("Times New Roman"));  // seeded from the shipped file
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(Preferences, AFailedWriteKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("CANTAVO.INI"));
    ASSERT_TRUE(WritePreferences(path, sample(), nullptr));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    // A file-size limit makes the write fail half-way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 200;
    setrlimit(RLIMIT_FSIZE, &small);
    Preferences big = sample();
    big.fontName = QString(2000, QLatin1Char('x'));
    QString error;
    const bool written = WritePreferences(path, big, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_TRUE(error.contains(path));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_FALSE(WritePreferences(dir.filePath(QStringLiteral("no/such/folder/CANTAVO.INI")), sample(), &error));
}
