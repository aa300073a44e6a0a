// The command line as machines misbehave: full disks, special files as songs and as outputs,
// hostile names, and numbers that are no numbers. Every failure is one line naming the file
// and the reason, with exit status 2, and nothing that was there before is lost.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "cli.h"
#include "smalldisk.h"
#include "testpaths.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The real program in a process of its own, for what could block: it must end by itself.
CliRun runProgram(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(CANTAVO_PROGRAM_DIR "/cantavo"), args);
    CliRun r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        r.status = -1;
        r.err = QStringLiteral("it did not end by itself");
        return r;
    }
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

bool isFifo(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

QString makeFifo(const QTemporaryDir& dir, const char* name) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
}

}  // namespace

TEST(CliFiles, AFullDiskIsSaidAndTheOldFileKept) {
    SmallDisk disk;
    NEED_SMALL_DISK(disk);
    QTemporaryDir songs;
    for (const char* name : {"twinkle", "frere-jacques", "oh-susanna"})
        ASSERT_TRUE(QFile::copy(demoSong(name), songs.filePath(QString::fromLatin1(name) + QStringLiteral(".kar"))));
    const QString list = disk.path(QStringLiteral("songs.lst"));
    const QString report = disk.path(QStringLiteral("songs.txt"));
    const QString song = disk.path(QStringLiteral("song.kar"));
    const QString wave = disk.path(QStringLiteral("song.wav"));
    for (const QString& f : {list, report, song, wave}) writeBytes(f, "kept");
    disk.fill();
    const auto refused = [&](const QStringList& args, const QString& out) {
        const CliRun r = run(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.trimmed().endsWith(out + QStringLiteral(": No space left on device")) ||
                    r.err.trimmed().endsWith(QStringLiteral("Cannot write %1: No space left on device").arg(out)))
            << r.err.toStdString();
        QFile f(out);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly) && f.readAll() == "kept") << out.toStdString() << " was damaged";
    };
    refused({QStringLiteral("--catalogue"), songs.path(), QStringLiteral("-o"), list}, list);
    const QString goodList = songs.filePath(QStringLiteral("good.lst"));
    ASSERT_EQ(run({QStringLiteral("--catalogue"), songs.path(), QStringLiteral("-o"), goodList}).status, 0);
    refused({QStringLiteral("--report"), goodList, QStringLiteral("-o"), report}, report);
    refused({QStringLiteral("--modify"), demoSong("twinkle"), QStringLiteral("-o"), song, QStringLiteral("--transpose"), QStringLiteral("1")}, song);
    refused({QStringLiteral("--render"), demoSong("twinkle"), wave}, wave);
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).size(), 5) << "no half-written file is left: "
                                                                                  << QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString();
}

TEST(CliFiles, SpecialFilesAreRefusedAsSongs) {
    QTemporaryDir dir;
    const QString fifo = makeFifo(dir, "pipe.kar");
    ASSERT_FALSE(fifo.isEmpty());
    for (const QStringList& args : {QStringList{QStringLiteral("--info"), QStringLiteral("/dev/zero")},
                                    QStringList{QStringLiteral("--info"), QStringLiteral("/dev/urandom")},
                                    QStringList{QStringLiteral("--info"), fifo},
                                    QStringList{QStringLiteral("--modify"), fifo, QStringLiteral("-o"), dir.filePath(QStringLiteral("x.kar")),
                                                QStringLiteral("--transpose"), QStringLiteral("1")},
                                    QStringList{QStringLiteral("--modify"), QStringLiteral("/dev/zero"), QStringLiteral("-o"),
                                                dir.filePath(QStringLiteral("x.kar")), QStringLiteral("--transpose"), QStringLiteral("1")},
                                    QStringList{QStringLiteral("--render"), QStringLiteral("/dev/zero"), dir.filePath(QStringLiteral("x.wav"))},
                                    QStringList{QStringLiteral("--report"), fifo, QStringLiteral("-o"), dir.filePath(QStringLiteral("r.txt"))}}) {
        const CliRun r = runProgram(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("not a file"))) << args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("x.kar"))));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("x.wav"))));
    // Larger than any song: refused before it is read.
    const QString big = dir.filePath(QStringLiteral("big.kar"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.write("MThd") == 4 && f.resize(100 << 20));
    }
    const CliRun r = run({QStringLiteral("--info"), big});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("it is 100 MB, more than the 64 MB such a file may have"))) << r.err.toStdString();
}

TEST(CliFiles, OutputsThatAreNotFilesAreRefused) {
    QTemporaryDir dir;
    QList<QString> outputs{makeFifo(dir, "out.fifo"), dir.path()};
    const QString node = dir.filePath(QStringLiteral("null"));
    if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) outputs << node;
    QTemporaryDir songs;
    ASSERT_TRUE(QFile::copy(demoSong("twinkle"), songs.filePath(QStringLiteral("twinkle.kar"))));
    const QString list = songs.filePath(QStringLiteral("songs.lst"));
    ASSERT_EQ(run({QStringLiteral("--catalogue"), songs.path(), QStringLiteral("-o"), list}).status, 0);
    for (const QString& out : outputs) {
        ASSERT_FALSE(out.isEmpty());
        for (const QStringList& args :
             {QStringList{QStringLiteral("--modify"), demoSong("twinkle"), QStringLiteral("-o"), out, QStringLiteral("--transpose"), QStringLiteral("1")},
              QStringList{QStringLiteral("--catalogue"), songs.path(), QStringLiteral("-o"), out},
              QStringList{QStringLiteral("--report"), list, QStringLiteral("-o"), out},
              QStringList{QStringLiteral("--render"), demoSong("twinkle"), out}}) {
            const CliRun r = runProgram(args);
            EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
            EXPECT_TRUE(r.err.startsWith(out + QStringLiteral(": it is a")) || r.err.contains(QStringLiteral("Cannot write %1: it is a").arg(out)))
                << args.join(' ').toStdString() << ": " << r.err.toStdString();
        }
    }
    EXPECT_TRUE(isFifo(outputs[0]));
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
    if (outputs.size() > 2) {
        struct stat st {};
        EXPECT_TRUE(::stat(QFile::encodeName(node).constData(), &st) == 0 && S_ISCHR(st.st_mode)) << "the device stays a device";
    }
}

TEST(CliFiles, EveryNumberIsChecked) {
    const QString song = demoSong("twinkle");
    for (const char* bad : {"nan", "inf", "-inf", "1e300", "3000000", "0", "-1", "ten"}) {
        const CliRun r = run({QStringLiteral("--play"), song, QStringLiteral("--seconds"), QString::fromLatin1(bad)});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("--seconds needs a number of seconds above 0, at most 86400"))) << bad << ": " << r.err.toStdString();
    }
    for (const char* bad : {"nan", "inf", "1e300", "-101"}) {
        const CliRun r = run({QStringLiteral("--modify"), song, QStringLiteral("-o"), QStringLiteral("x.kar"), QStringLiteral("--tempo"), QString::fromLatin1(bad)});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("--tempo needs a percentage, -100..10000"))) << r.err.toStdString();
    }
    for (const char* bad : {"nan", "inf", "60001"}) {
        const CliRun r = run({QStringLiteral("--score"), song, QStringLiteral("take.wav"), QStringLiteral("--offset"), QString::fromLatin1(bad)});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("--offset needs a number of milliseconds, -60000..60000"))) << r.err.toStdString();
    }
    const CliRun usage = runProgram({QStringLiteral("--seconds"), QStringLiteral("nan")});
    EXPECT_TRUE(usage.err.contains(QStringLiteral("Usage: cantavo [options]"))) << usage.err.toStdString();
    EXPECT_FALSE(usage.err.contains(QStringLiteral("<executable_name>")));
}

TEST(CliFiles, EachProblemIsOneLineThatNamesTheFile) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.kar"));
    const QString text = dir.filePath(QStringLiteral("words.kar"));
    writeBytes(text, "not a song at all");
    CliRun r = run({QStringLiteral("--modify"), text, QStringLiteral("-o"), out, QStringLiteral("--transpose"), QStringLiteral("1")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, text + QStringLiteral(": not a MIDI file (it does not start with \"MThd\")\n"));
    const QString noTracks = dir.filePath(QStringLiteral("empty.mid"));
    writeBytes(noTracks, QByteArray("MThd\0\0\0\x06\0\x01\0\0\x01\xe0", 14));
    r = run({QStringLiteral("--modify"), noTracks, QStringLiteral("-o"), out, QStringLiteral("--transpose"), QStringLiteral("1")});
    EXPECT_EQ(r.err, noTracks + QStringLiteral(": its MIDI header announces no track\n"));
    r = run({QStringLiteral("--info"), QString()});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no file name was given"))) << r.err.toStdString();
    r = run({QStringLiteral("--report"), dir.path(), QStringLiteral("-o"), dir.filePath(QStringLiteral("r.txt"))});
    EXPECT_EQ(r.err, dir.path() + QStringLiteral(": it is a folder, not a file\n"));
    // A list saved as "Unicode" by a Windows editor reads like any other.
    const QString line = QStringLiteral("\"twinkle.kar\",\"00:40\",\"Twinkle\",\"-\",\"/songs/\"\r\n");
    QByteArray utf16("\xFF\xFE", 2);
    for (const QChar c : line) utf16 += QByteArray(reinterpret_cast<const char*>(&c), 2);
    const QString list = dir.filePath(QStringLiteral("unicode.lst"));
    writeBytes(list, utf16);
    r = run({QStringLiteral("--report"), list, QStringLiteral("-o"), dir.filePath(QStringLiteral("r.txt"))});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(fileBytes(dir.filePath(QStringLiteral("r.txt"))).contains("TWINKLE.KAR"));
}

TEST(CliFiles, ListsKeepEveryRowTheyCanAndNameTheRest) {
    QTemporaryDir dir;
    const QString songs = dir.filePath(QStringLiteral("songs"));
    ASSERT_TRUE(QDir().mkpath(songs));
    for (const QString& name : {QStringLiteral("one.kar"), QStringLiteral("two\nlines.kar"), QStringLiteral("say \"hi\".kar"), QStringLiteral("ok, too.kar")})
        ASSERT_TRUE(QFile::copy(demoSong("twinkle"), QDir(songs).filePath(name)));
    // A name that is no UTF-8, a link to a device, and a pipe, all named like songs.
    const QByteArray badName = QFile::encodeName(songs) + "/bad\xff.kar";
    const int fd = ::open(badName.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), QDir(songs).filePath(QStringLiteral("zero.kar"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(QDir(songs).filePath(QStringLiteral("pipe.kar"))).constData(), 0600), 0);
    const QString list = dir.filePath(QStringLiteral("songs.lst"));
    const CliRun r = runProgram({QStringLiteral("--catalogue"), songs, QStringLiteral("-o"), list});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    for (const QString& named : {QStringLiteral("a line break in its name"), QStringLiteral("a double quote in its name"),
                                 QStringLiteral("bad\uFFFD.kar: its name is not valid UTF-8"), QStringLiteral("zero.kar: it is a device"),
                                 QStringLiteral("pipe.kar: it is a FIFO")})
        EXPECT_TRUE(r.err.contains(named)) << named.toStdString() << " not in: " << r.err.toStdString();
    // What was written reads back whole, and a damaged line loses only itself.
    QByteArray bytes = fileBytes(list);
    EXPECT_EQ(bytes.count("\r\n"), 2) << bytes.toStdString();
    bytes.insert(0, "\"cut off\r\n");
    writeBytes(list, bytes);
    const CliRun report = run({QStringLiteral("--report"), list, QStringLiteral("-o"), dir.filePath(QStringLiteral("r.txt"))});
    EXPECT_EQ(report.status, 0);
    EXPECT_EQ(report.err, list + QStringLiteral(": line 1 cannot be read\n"));
    const QByteArray text = fileBytes(dir.filePath(QStringLiteral("r.txt")));
    EXPECT_TRUE(text.contains("ONE.KAR") && text.contains("OK, TOO.KAR")) << text.toStdString();
}

TEST(CliFiles, AFileNameThatIsNotUtf8IsNamedNotLost) {
    QTemporaryDir dir;
    // QProcess cannot pass an argument's raw bytes: a shell does.
    QProcess sh;
    sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec \"$0\" --info \"$(printf '%1/bad\\377.kar')\"").arg(dir.path()),
                                         QStringLiteral(CANTAVO_PROGRAM_DIR "/cantavo")});
    ASSERT_TRUE(sh.waitForFinished(20000));
    const QString err = QString::fromUtf8(sh.readAllStandardError());
    EXPECT_EQ(sh.exitCode(), 2);
    EXPECT_TRUE(err.contains(QStringLiteral("bad\uFFFD.kar: the name is not valid UTF-8"))) << err.toStdString();
}
