#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

namespace cantavo {

// A command-line form a subsystem brings with it (`cantavo --rotation`): the option that
// starts it, its lines for --help, and what it does with the arguments after the option.
// It runs without a window, under a QCoreApplication, and returns the exit status.
struct CommandVerb {
    QString group;  // the heading its help stands under
    QString option;
    QString help;
    std::function<int(const QStringList& arguments, QTextStream& out, QTextStream& err)> run;
};

}  // namespace cantavo
