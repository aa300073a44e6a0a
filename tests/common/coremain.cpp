// The main of the engine's tests: a Qt core application, so that nothing of the engine can
// lean on widgets.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdlib>

int main(int argc, char** argv) {
    // The singers' rotation and other user data of a test run stay with the run.
    const QTemporaryDir userData;
    setenv("XDG_DATA_HOME", qPrintable(userData.path()), 1);
    setenv("CANTAVO_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2", 0);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
