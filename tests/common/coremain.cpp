// The main of the engine's tests: a Qt core application, so that nothing of the engine can
// lean on widgets.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("CANTAVO_SOUNDFONT", "/usr/share/sounds/sf2/TimGM6mb.sf2", 0);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
