// The main of the test programs that need a Qt application: offscreen, with the small
// General MIDI SoundFont.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char** argv) {
    // The singers' rotation and other user data of a test run stay with the run.
    const QTemporaryDir userData;
    setenv("XDG_DATA_HOME", qPrintable(userData.path()), 1);
    // The small SoundFont keeps offline rendering quick; the engine finds it like any other.
    setenv("CANTAVO_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
