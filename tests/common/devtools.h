#pragma once
// Debian's chromium, headless, driven over its DevTools protocol with Qt's WebSocket: pages
// opened, script evaluated in them, screenshots taken. A test that cannot start it is skipped
// with the reason, never passed.
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <memory>

namespace cantavo::test {

class Browser {
public:
    Browser() {
        const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        if (chromium.isEmpty()) {
            why_ = QStringLiteral("chromium is not installed");
            return;
        }
        process_.setProgram(chromium);
        process_.setArguments({QStringLiteral("--headless=new"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
                               QStringLiteral("--disable-extensions"), QStringLiteral("--remote-debugging-port=0"),
                               QStringLiteral("--user-data-dir=") + profile_.path(), QStringLiteral("about:blank")});
        // Its complaints about the missing system bus and the like are not the test's.
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start();
        if (!process_.waitForStarted(10000)) {
            why_ = process_.errorString();
            return;
        }
        // The browser writes its port into the profile once it listens.
        const QString portFile = QDir(profile_.path()).filePath(QStringLiteral("DevToolsActivePort"));
        for (int i = 0; i < 300 && port_ == 0; ++i) {
            wait(50);
            QFile f(portFile);
            if (f.open(QIODevice::ReadOnly)) port_ = f.readLine().trimmed().toInt();
        }
        if (port_ == 0) why_ = QStringLiteral("chromium did not open its DevTools port");
    }
    ~Browser() {
        socket_.reset();
        process_.kill();
        process_.waitForFinished(5000);
    }
    bool running() const { return port_ != 0; }
    const QString& why() const { return why_; }

    // Opens `url` in a new tab, `width` × `height` CSS pixels (a phone when `mobile`), and
    // waits until it has loaded.
    bool open(const QString& url, int width, int height, bool mobile) {
        QNetworkAccessManager net;
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/json/new?about:blank").arg(port_)));
        std::unique_ptr<QNetworkReply> reply(net.sendCustomRequest(request, "PUT"));
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        const QString target = QJsonDocument::fromJson(reply->readAll()).object().value(QStringLiteral("webSocketDebuggerUrl")).toString();
        if (target.isEmpty()) return false;
        socket_ = std::make_unique<QWebSocket>();
        QObject::connect(socket_.get(), &QWebSocket::textMessageReceived, [this](const QString& m) {
            const QJsonObject o = QJsonDocument::fromJson(m.toUtf8()).object();
            if (o.contains(QStringLiteral("id"))) answers_.insert(o.value(QStringLiteral("id")).toInt(), o);
        });
        socket_->open(QUrl(target));
        for (int i = 0; i < 200 && socket_->state() != QAbstractSocket::ConnectedState; ++i) wait(25);
        if (socket_->state() != QAbstractSocket::ConnectedState) return false;
        resize(width, height, mobile);
        call(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), url}});
        return waitFor(QStringLiteral("document.readyState === 'complete'"), 10000);
    }

    // The viewport as another device's: `width` × `height` CSS pixels.
    void resize(int width, int height, bool mobile) {
        call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
             {{QStringLiteral("width"), width}, {QStringLiteral("height"), height}, {QStringLiteral("deviceScaleFactor"), 1}, {QStringLiteral("mobile"), mobile}});
    }

    // A DevTools command's result (empty after 10 s without an answer).
    QJsonObject call(const QString& method, const QJsonObject& params = {}) {
        const int id = ++lastId_;
        socket_->sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("method"), method}, {QStringLiteral("params"), params}}).toJson(QJsonDocument::Compact)));
        for (int i = 0; i < 1000 && !answers_.contains(id); ++i) wait(10);
        return answers_.take(id).value(QStringLiteral("result")).toObject();
    }
    // Evaluates script in the page; its value.
    QJsonValue eval(const QString& script) {
        return call(QStringLiteral("Runtime.evaluate"), {{QStringLiteral("expression"), script}, {QStringLiteral("returnByValue"), true}, {QStringLiteral("awaitPromise"), true}})
            .value(QStringLiteral("result"))
            .toObject()
            .value(QStringLiteral("value"));
    }
    // Until `condition` holds in the page, or `ms` pass; whether it held.
    bool waitFor(const QString& condition, int ms) {
        for (int waited = 0; waited < ms; waited += 50) {
            if (eval(QStringLiteral("!!(") + condition + QLatin1Char(')')).toBool()) return true;
            wait(50);
        }
        return false;
    }
    bool screenshot(const QString& path) {
        const QByteArray png = QByteArray::fromBase64(call(QStringLiteral("Page.captureScreenshot")).value(QStringLiteral("data")).toString().toLatin1());
        QFile f(path);
        return !png.isEmpty() && f.open(QIODevice::WriteOnly) && f.write(png) == png.size() && f.flush();
    }

    // Runs the event loop (the program's window and server go on meanwhile).
    static void wait(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

private:
    QTemporaryDir profile_;
    QProcess process_;
    int port_ = 0;
    QString why_;
    std::unique_ptr<QWebSocket> socket_;
    int lastId_ = 0;
    QHash<int, QJsonObject> answers_;
};

#define NEED_BROWSER(browser) \
    if (!(browser).running()) GTEST_SKIP() << "no headless browser: " << (browser).why().toStdString()

}  // namespace cantavo::test
