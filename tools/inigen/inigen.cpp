// inigen: writes the preferences file the program ships with, from the program's own
// defaults and in the program's own format.
#include <QCoreApplication>
#include <QString>

#include <cstdio>

#include "preferences.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: inigen CANTAVO.INI\n");
        return 2;
    }
    QString error;
    if (!cantavo::WritePreferences(QString::fromLocal8Bit(argv[1]), cantavo::DefaultPreferences(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
