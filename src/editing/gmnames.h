#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace cantavo {

// The 128 melodic instruments of General MIDI level 1 by program number, each followed by
// one blank (entry 26 by two), as the patch dialog lists them.
const std::array<QString, 128>& GmPatchNames();

// The patch list: " 1 -  Acoustic Grand Piano " and so on; entry k - 1 is program k - 1.
QStringList PatchListEntries();

}  // namespace cantavo
