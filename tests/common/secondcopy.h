#pragma once
// Another running copy of the program for tests: the holder program (holder.cpp) holds what
// `args` asks until it is let go, or ends as a crash would.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace cantavo::test {

class SecondCopy {
public:
    explicit SecondCopy(const QStringList& args) {
        process_.start(QStringLiteral(CANTAVO_HOLDER), args);
        ready_ = process_.waitForReadyRead(10000);
        folder_ = QString::fromLocal8Bit(process_.readAllStandardOutput()).trimmed().section(QLatin1Char(' '), 1);
    }
    ~SecondCopy() { letGo(); }
    bool ready() const { return ready_ && !folder_.isEmpty(); }
    // Its own temporary folder.
    const QString& folder() const { return folder_; }
    void letGo() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.closeWriteChannel();
        process_.waitForFinished(10000);
    }
    // Ends it as a crash would: nothing of its own clean-up runs.
    void kill() {
        process_.kill();
        process_.waitForFinished(10000);
    }

private:
    QProcess process_;
    bool ready_ = false;
    QString folder_;
};

}  // namespace cantavo::test
