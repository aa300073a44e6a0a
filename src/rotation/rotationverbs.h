#pragma once

#include <vector>

#include "commandverb.h"

namespace cantavo {

// The rotation's command-line forms: --rotation, --history and --rotation-add. They work on
// the database the window uses, and may run while a window has it open.
std::vector<CommandVerb> RotationVerbs();

}  // namespace cantavo
