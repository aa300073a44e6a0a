// What the program reads and writes when disks fill, files are not files, and a second copy
// of the program runs beside this one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <vector>

#include <sndfile.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <unistd.h>

#include "atomicfile.h"
#include "runfiles.h"
#include "secondcopy.h"
#include "settingsfile.h"
#include "smalldisk.h"
#include "songmemory.h"
#include "wavedevice.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Dates a lock file a minute back, as if its copy had run that long.
void makeOld(const QString& path) {
    const struct timeval then[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
    ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), then), 0) << path.toStdString();
}

bool isCharDevice(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

}  // namespace

TEST(Files, AWriteToAFullDiskFailsAndKeepsTheOldFile) {
    SmallDisk disk;
    NEED_SMALL_DISK(disk);
    const QString list = disk.path(QStringLiteral("songs.lst"));
    writeBytes(list, "the old list\r\n");
    // Room for some of the new file, not all of it: the case a buffered write hid.
    disk.fill(8192);
    QString why;
    EXPECT_FALSE(WriteFileAtomically(list, QByteArray(64 * 1024, 'x'), &why));
    EXPECT_EQ(why, QStringLiteral("No space left on device"));
    EXPECT_EQ(bytesOf(list), QByteArray("the old list\r\n"));
    // A small file that fits into what the buffer would have held fails just the same.
    disk.fill();
    EXPECT_FALSE(WriteFileAtomically(list, QByteArray(100, 'y'), &why));
    EXPECT_EQ(bytesOf(list), QByteArray("the old list\r\n"));
    EXPECT_EQ(QDir(disk.path()).entryList({QStringLiteral("songs.lst*")}, QDir::Files | QDir::Hidden).size(), 1) << "no half-written file is left";

    // What a song remembers: the other songs' lines stay.
    const QString memory = disk.path(QStringLiteral("song-live.txt"));
    QFile::remove(disk.path(QStringLiteral("filler")));
    SongMemory kept(memory, QStringLiteral("the song's key"));
    ASSERT_TRUE(kept.remember("song one", QStringLiteral("+2")));
    disk.fill();
    EXPECT_FALSE(kept.remember(QByteArray(5000, 'z'), QString(3000, QLatin1Char('k')), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("No space left on device"))) << why.toStdString();
    EXPECT_EQ(kept.recall("song one"), QStringLiteral("+2"));
}

TEST(Files, AWaveFileIsWrittenWholeOrNotAtAll) {
    SmallDisk disk(600);
    NEED_SMALL_DISK(disk);
    QTemporaryDir dir;
    // A second of 16-bit stereo, 176 KB: more than is left on the disk.
    const QString tone = dir.filePath(QStringLiteral("tone.wav"));
    {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(QFile::encodeName(tone).constData(), SFM_WRITE, &info);
        ASSERT_TRUE(f);
        std::vector<short> frames(44100 * 2, 1000);
        sf_writef_short(f, frames.data(), 44100);
        sf_close(f);
    }
    WaveDevice take;
    QString why;
    ASSERT_TRUE(take.open(tone, &why)) << why.toStdString();
    const QString saved = disk.path(QStringLiteral("take.wav"));
    writeBytes(saved, "an older take");
    disk.fill(64 * 1024);
    EXPECT_FALSE(take.save(saved, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("No space left on device"))) << why.toStdString();
    EXPECT_EQ(bytesOf(saved), QByteArray("an older take"));
    QFile::remove(disk.path(QStringLiteral("filler")));
    ASSERT_TRUE(take.save(saved, &why)) << why.toStdString();
    EXPECT_GT(QFileInfo(saved).size(), 44100 * 4);
}

TEST(Files, OnlyRegularFilesWithinTheLimitAreRead) {
    QTemporaryDir dir;
    QByteArray bytes;
    QString why;
    EXPECT_FALSE(ReadInputFile(QStringLiteral("/dev/zero"), kMaxSongBytes, &bytes, &why));
    EXPECT_EQ(why, QStringLiteral("it is a device, not a file"));
    EXPECT_FALSE(ReadInputFile(dir.path(), kMaxSongBytes, &bytes, &why));
    EXPECT_EQ(why, QStringLiteral("it is a folder, not a file"));
    const QString fifo = dir.filePath(QStringLiteral("pipe.kar"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(ReadInputFile(fifo, kMaxSongBytes, &bytes, &why)) << "and it does not wait for a writer";
    EXPECT_EQ(why, QStringLiteral("it is a FIFO (a pipe), not a file"));
    // A link is followed to what it names.
    const QString link = dir.filePath(QStringLiteral("zero.kar"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), link));
    EXPECT_FALSE(ReadInputFile(link, kMaxSongBytes, &bytes, &why));
    EXPECT_EQ(why, QStringLiteral("it is a device, not a file"));
    // Larger than any song (sparse: nothing is really written).
    const QString big = dir.filePath(QStringLiteral("big.kar"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(kMaxSongBytes + 1));
    }
    EXPECT_FALSE(ReadInputFile(big, kMaxSongBytes, &bytes, &why));
    EXPECT_EQ(why, QStringLiteral("it is 64 MB, more than the 64 MB such a file may have"));
    EXPECT_FALSE(ReadInputFile(QString(), kMaxSongBytes, &bytes, &why));
    EXPECT_EQ(why, QStringLiteral("no file name was given"));
    const QString song = dir.filePath(QStringLiteral("ok.kar"));
    writeBytes(song, "MThd");
    ASSERT_TRUE(ReadInputFile(song, kMaxSongBytes, &bytes, &why));
    EXPECT_EQ(bytes, QByteArray("MThd"));
}

TEST(Files, WhatIsNotARegularFileIsNeverWrittenOver) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("out.kar"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QString why;
    EXPECT_FALSE(WriteFileAtomically(fifo, "x", &why));
    EXPECT_EQ(why, QStringLiteral("it is a FIFO (a pipe), not a file"));
    EXPECT_FALSE(QFileInfo(fifo).isFile());
    EXPECT_FALSE(WriteFileAtomically(dir.path(), "x", &why));
    EXPECT_EQ(why, QStringLiteral("it is a folder, not a file"));
    // A device node of our own (a copy of /dev/null), never a real /dev entry.
    const QString node = dir.filePath(QStringLiteral("null"));
    if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_FALSE(WriteFileAtomically(node, "x", &why));
        EXPECT_EQ(why, QStringLiteral("it is a device, not a file"));
        EXPECT_TRUE(isCharDevice(node));
    }
    // A link to a regular file writes the file it names and stays a link.
    const QString target = dir.filePath(QStringLiteral("real.lst"));
    const QString link = dir.filePath(QStringLiteral("link.lst"));
    writeBytes(target, "old");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(WriteFileAtomically(link, "new", &why)) << why.toStdString();
    EXPECT_EQ(bytesOf(target), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

TEST(Files, TextFilesInUtf16AreRead) {
    const QString text = QStringLiteral("\"Été.kar\",\"01:00\"");
    QByteArray le("\xFF\xFE", 2);
    for (const QChar c : text) le += QByteArray(reinterpret_cast<const char*>(&c), 2);
    EXPECT_EQ(DecodeTextFile(le), text);
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF" + text.toUtf8()), text);
    EXPECT_EQ(DecodeTextFile("caf\xe9"), QStringLiteral("café"));
}

TEST(RunFiles, AWorkingFileAnotherCopyUsesIsLeftToIt) {
    QTemporaryDir dir;
    const QString theirs = dir.filePath(QStringLiteral("theirs.ktf"));
    const QString mine = dir.filePath(QStringLiteral("mine.ktf"));
    writeBytes(theirs, "MThd");
    writeBytes(mine, "MThd");
    ASSERT_TRUE(runfiles::MarkWorkingFile(mine));
    EXPECT_FALSE(runfiles::UsedByAnotherCopy(mine)) << "this copy's own mark does not count against it";
    EXPECT_FALSE(runfiles::UsedByAnotherCopy(theirs));
    {
        SecondCopy other({QStringLiteral("mark"), theirs});
        ASSERT_TRUE(other.ready());
        EXPECT_TRUE(runfiles::UsedByAnotherCopy(theirs));
        other.kill();
        EXPECT_FALSE(runfiles::UsedByAnotherCopy(theirs)) << "a crashed copy's mark is gone with it";
    }
    // A file written anew under the same name is marked anew.
    writeBytes(dir.filePath(QStringLiteral("new")), "MThd2");
    ASSERT_TRUE(QFile::remove(mine));
    ASSERT_TRUE(QFile::rename(dir.filePath(QStringLiteral("new")), mine));
    ASSERT_TRUE(runfiles::MarkWorkingFile(mine));
    EXPECT_TRUE(runfiles::MarkedWorkingFiles().contains(mine));
    runfiles::ReleaseWorkingFile(mine);
    EXPECT_FALSE(runfiles::MarkedWorkingFiles().contains(mine));
}

TEST(RunFiles, EachCopyHasATemporaryFolderOfItsOwn) {
    QTemporaryDir temp;
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    const QString mine = runfiles::OwnTemporaryFolder();
    EXPECT_TRUE(mine.startsWith(runfiles::SharedTemporaryFolder() + QLatin1Char('/')));
    SecondCopy other({QStringLiteral("folder")});
    ASSERT_TRUE(other.ready());
    EXPECT_NE(other.folder(), mine);
    EXPECT_TRUE(QFileInfo(other.folder()).isDir());
    EXPECT_FALSE(runfiles::AbandonedTemporaryFolders().contains(other.folder())) << "a running copy's folder is not abandoned";
    makeOld(other.folder() + QStringLiteral(".lock"));
    EXPECT_FALSE(runfiles::AbandonedTemporaryFolders().contains(other.folder())) << "nor when it has run for a while";
    // A song copied there stays while the copy lives; once it crashed, its folder is offered.
    writeBytes(QDir(other.folder()).filePath(QStringLiteral("A_SONG.KAR")), "MThd");
    other.kill();
    EXPECT_EQ(runfiles::AbandonedTemporaryFolders(), QStringList{other.folder()});
    EXPECT_FALSE(runfiles::AbandonedTemporaryFolders().contains(mine));
    qunsetenv("TMPDIR");
}

// Another user on the machine could plant a folder or a link under the name the shared
// folder takes in /tmp; the working songs and takes must not go there.
TEST(RunFiles, TheSharedFolderIsTheUsersAlone) {
    const auto mode = [](const QString& path) {
        struct stat st{};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
    };
    QTemporaryDir temp;
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    const QString shared = runfiles::SharedTemporaryFolder();
    EXPECT_EQ(QFileInfo(shared).path(), temp.path());
    EXPECT_EQ(QFileInfo(shared).fileName(), QStringLiteral("cantavo-") + QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name));
    EXPECT_EQ(mode(shared), 0700);
    // Left open by an older version: closed, and still used.
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0755), 0);
    EXPECT_EQ(runfiles::SharedTemporaryFolder(), shared);
    EXPECT_EQ(mode(shared), 0700);

    // A link in its place, to a folder someone else reads.
    QTemporaryDir planted, elsewhere;
    qputenv("TMPDIR", planted.path().toLocal8Bit());
    const QString link = QDir(planted.path()).filePath(QFileInfo(shared).fileName());
    ASSERT_TRUE(QFile::link(elsewhere.path(), link));
    const QString instead = runfiles::SharedTemporaryFolder();
    EXPECT_TRUE(instead.startsWith(link + QLatin1Char('-'))) << instead.toStdString();
    EXPECT_TRUE(QFileInfo(instead).isDir() && !QFileInfo(instead).isSymLink());
    EXPECT_EQ(mode(instead), 0700);
    EXPECT_EQ(runfiles::SharedTemporaryFolder(), instead) << "one stand-in for the whole run";
    EXPECT_TRUE(runfiles::OwnTemporaryFolder().startsWith(instead + QLatin1Char('/')));
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty()) << "something went through the link";
    EXPECT_TRUE(QFileInfo(link).isSymLink()) << "the link is left as it is";

    // Another user's folder (only root can make one here).
    if (::getuid() == 0) {
        QTemporaryDir theirs;
        qputenv("TMPDIR", theirs.path().toLocal8Bit());
        const QString folder = QDir(theirs.path()).filePath(QFileInfo(shared).fileName());
        ASSERT_TRUE(QDir().mkdir(folder));
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        EXPECT_NE(runfiles::SharedTemporaryFolder(), folder);
        EXPECT_TRUE(QDir(folder).isEmpty());
    }
    qunsetenv("TMPDIR");
}

TEST(RunFiles, ALeftoverTakeIsOfferedByOneCopyAtATime) {
    QTemporaryDir temp;
    WaveDevice::setSpoolFolder(temp.path());
    // A take left by a run that is gone (no lock of its own is held).
    const QString take = QDir(temp.path()).filePath(QStringLiteral("take-999999-1.wav"));
    writeBytes(take, QByteArray(100, 'w'));
    EXPECT_EQ(WaveDevice::LeftoverTakes(), QStringList{take});
    {
        SecondCopy other({QStringLiteral("claim"), take});
        ASSERT_TRUE(other.ready());
        EXPECT_TRUE(WaveDevice::LeftoverTakes().isEmpty()) << "the other copy is asking about it";
        EXPECT_FALSE(WaveDevice::ClaimLeftoverTake(take));
    }
    EXPECT_EQ(WaveDevice::LeftoverTakes(), QStringList{take});
    ASSERT_TRUE(QFile::remove(take));
    // A copy recording now, for longer than a lock's age would allow: its take is its own.
    SecondCopy recording({QStringLiteral("spool"), temp.path()});
    ASSERT_TRUE(recording.ready());
    const QStringList locks = QDir(temp.path()).entryList({QStringLiteral("take-*.lock")}, QDir::Files);
    ASSERT_EQ(locks.size(), 1);
    makeOld(QDir(temp.path()).filePath(locks[0]));
    EXPECT_TRUE(WaveDevice::LeftoverTakes().isEmpty());
    recording.kill();
    EXPECT_EQ(WaveDevice::LeftoverTakes().size(), 1) << "once it crashed, its take is left over";
    WaveDevice::setSpoolFolder({});
}

TEST(Files, SettingsAreChangedWithoutLosingTheOthers) {
    QTemporaryDir dir;
    const QString conf = dir.filePath(QStringLiteral("cantavo.conf"));
    {
        QSettings written(conf, QSettings::IniFormat);
        written.setValue(QStringLiteral("score/roundTripMs"), 113.5);
        written.setValue(QStringLiteral("window/livePanel"), true);
        written.setValue(QStringLiteral("top"), QStringLiteral("a, b"));
    }
    QString why;
    ASSERT_TRUE(ChangeSettings(conf, {{QStringLiteral("score/difficulty"), QStringLiteral("hard")}, {QStringLiteral("window/livePanel"), false}}, &why))
        << why.toStdString();
    const QSettings read(conf, QSettings::IniFormat);
    EXPECT_EQ(read.value(QStringLiteral("score/roundTripMs")).toDouble(), 113.5);
    EXPECT_EQ(read.value(QStringLiteral("score/difficulty")).toString(), QStringLiteral("hard"));
    EXPECT_FALSE(read.value(QStringLiteral("window/livePanel")).toBool());
    EXPECT_EQ(read.value(QStringLiteral("top")).toString(), QStringLiteral("a, b"));

    // A full disk: said, and the file as it was (QSettings itself would leave it empty).
    SmallDisk disk;
    NEED_SMALL_DISK(disk);
    const QString onDisk = disk.path(QStringLiteral("cantavo.conf"));
    ASSERT_TRUE(QFile::copy(conf, onDisk));
    const QByteArray before = bytesOf(onDisk);
    disk.fill();
    EXPECT_FALSE(ChangeSettings(onDisk, {{QStringLiteral("score/on"), true}}, &why));
    EXPECT_EQ(why, QStringLiteral("No space left on device"));
    EXPECT_EQ(bytesOf(onDisk), before);
}
