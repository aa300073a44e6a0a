#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <vector>

#include "commandverb.h"

namespace cantavo {

// The command-line forms the subsystems bring (each registers its own list here).
const std::vector<CommandVerb>& Verbs();
// The verb the arguments start with (the first after the program's name), or null.
const CommandVerb* FindVerb(const QStringList& arguments);
// Their lines for --help.
QString VerbsHelp();

}  // namespace cantavo
