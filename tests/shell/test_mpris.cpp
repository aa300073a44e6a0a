// The media player interface, driven over a real session bus as a desktop's media keys and
// player widgets drive it (the test command starts a private bus).
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTest>

#include "mpris.h"
#include "window.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

class Mpris : public Window {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "run through scripts/test: it starts a session bus";
        Window::SetUp();
        ASSERT_TRUE(window->mpris());
        service = window->mpris()->serviceName();
        ASSERT_TRUE(service.startsWith(QStringLiteral("org.mpris.MediaPlayer2.cantavo")));
        // A connection of its own, as another program's: every call goes through the bus.
        desktop = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop")));
        ASSERT_TRUE(desktop->isConnected());
    }
    void TearDown() override {
        if (desktop) QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
        Window::TearDown();
    }
    // Calls a method and lets the window answer while the call waits.
    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(service, QStringLiteral("/org/mpris/MediaPlayer2"), interface, method);
        m.setArguments(args);
        QDBusPendingCall pending = desktop->asyncCall(m);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 5000)) << method.toStdString();
        QApplication::processEvents();
        return pending.reply();
    }
    QDBusMessage player(const QString& method, const QVariantList& args = {}) { return call(QStringLiteral("org.mpris.MediaPlayer2.Player"), method, args); }
    QVariant property(const QString& name) {
        const QDBusMessage r = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                    {QStringLiteral("org.mpris.MediaPlayer2.Player"), name});
        return r.arguments().isEmpty() ? QVariant() : r.arguments().first().value<QDBusVariant>().variant();
    }
    QString service;
    std::unique_ptr<QDBusConnection> desktop;
};

}  // namespace

TEST_F(Mpris, PlayPauseAndTheMetadataOverTheBus) {
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    open(demoSong("twinkle"));
    const QDBusArgument meta = property(QStringLiteral("Metadata")).value<QDBusArgument>();
    QVariantMap m;
    meta >> m;
    EXPECT_EQ(m.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Twinkle, Twinkle, Little Star"));
    EXPECT_EQ(m.value(QStringLiteral("xesam:artist")).toStringList(), QStringList{QStringLiteral("Traditional")});
    EXPECT_EQ(m.value(QStringLiteral("mpris:length")).toLongLong(), static_cast<qlonglong>(window->session().songLengthMs) * 1000);
    EXPECT_EQ(player(QStringLiteral("Play")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(window->sequencerControl().mode(), static_cast<int>(MediaMode::Playing));
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    advance(1.0);
    player(QStringLiteral("Pause"));
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));
    EXPECT_GT(property(QStringLiteral("Position")).toLongLong(), 900000);
    player(QStringLiteral("PlayPause"));
    EXPECT_EQ(window->sequencerControl().mode(), static_cast<int>(MediaMode::Playing));
    player(QStringLiteral("SetPosition"), {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/cantavo/song"))), qlonglong(10000000)});
    advance(0.1);
    EXPECT_NEAR(window->panel().midi->sequencer()->positionMs(), 10000, 300);
    const QDBusMessage root = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                   {QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Identity")});
    EXPECT_EQ(root.arguments().first().value<QDBusVariant>().variant().toString(), QStringLiteral("Cantavo!"));
}

TEST_F(Mpris, NextPlaysTheNextCompilationEntry) {
    window->compilationEntries = {QStringLiteral("KARAOKE ") + demoSong("twinkle"), QStringLiteral("KARAOKE ") + demoSong("oh-susanna")};
    window->compilationCount = 2;
    window->compilationIndex = 0;
    EXPECT_TRUE(property(QStringLiteral("CanGoNext")).toBool());
    player(QStringLiteral("Next"));
    EXPECT_EQ(window->compilationIndex, 1);
    player(QStringLiteral("Next"));
    EXPECT_EQ(window->compilationIndex, 2);
    EXPECT_TRUE(window->session().songPath.endsWith(QStringLiteral("oh-susanna.kar")));
    EXPECT_FALSE(property(QStringLiteral("CanGoNext")).toBool());
}
