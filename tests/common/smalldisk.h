#pragma once
// A disk that really fills: a small tmpfs mounted for one test (the tests run as root here).
// A test that cannot have one is skipped with the reason, never passed.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace cantavo::test {

class SmallDisk {
public:
    explicit SmallDisk(int kilobytes = 300) {
        if (!dir_.isValid()) {
            why_ = QStringLiteral("no temporary folder");
            return;
        }
        QProcess mount;
        mount.start(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                              QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("tmpfs"), dir_.path()});
        mounted_ = mount.waitForFinished(10000) && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
        if (!mounted_) why_ = QString::fromLocal8Bit(mount.readAllStandardError()).trimmed() + mount.errorString();
    }
    ~SmallDisk() {
        if (mounted_) QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), dir_.path()});
    }
    bool mounted() const { return mounted_; }
    const QString& why() const { return why_; }
    QString path(const QString& name = {}) const { return name.isEmpty() ? dir_.path() : QDir(dir_.path()).filePath(name); }

    // Fills the disk to the last byte, then frees `room` bytes (a file of that size removed).
    void fill(qint64 room = 0) {
        QFile spare(path(QStringLiteral("spare")));
        if (room > 0 && spare.open(QIODevice::WriteOnly)) {
            spare.write(QByteArray(static_cast<qsizetype>(room), 's'));
            spare.close();
        }
        QFile filler(path(QStringLiteral("filler")));
        if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            const QByteArray block(4096, '\0');
            while (filler.write(block) > 0) {}
            // The last partial block too.
            while (filler.write(block.constData(), 1) > 0) {}
        }
        if (room > 0) spare.remove();
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString why_;
};

#define NEED_SMALL_DISK(disk) \
    if (!(disk).mounted()) GTEST_SKIP() << "no small disk could be mounted: " << (disk).why().toStdString()

}  // namespace cantavo::test
