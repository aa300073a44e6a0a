#pragma once
// The program's command line run in the test's own process, and the files it writes.
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include "commandline.h"

namespace cantavo::test {

struct CliRun {
    int status = 0;
    QString out, err;
};

inline CliRun run(const QStringList& args) {
    CliRun r;
    QTextStream out(&r.out), err(&r.err);
    r.status = RunCommandLine(QStringList{QStringLiteral("cantavo")} + args, out, err);
    out.flush();
    err.flush();
    return r;
}

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace cantavo::test
