#pragma once

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "testpaths.h"

#include "mainwindow.h"
#include "mci.h"
#include "synthhost.h"

namespace cantavo::test {


// Answers every message box the program shows, and remembers its text.
class BoxCatcher : public QObject {
public:
    explicit BoxCatcher(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                icons << box->icon();
                QAbstractButton* b = box->button(answer_);
                if (!b) b = box->button(QMessageBox::Ok);
                if (b) b->click();
                else box->reject();
            }
        });
        timer_.start();
    }
    QStringList texts;
    QList<QMessageBox::Icon> icons;

private:
    QMessageBox::StandardButton answer_;
    QTimer timer_;
};

// The main window over the offline synthesizer: the clock moves only when a test renders.
class Window : public ::testing::Test {
protected:
    void SetUp() override {
        MediaRegistry::instance().setSynthHost(host.get());
        window = std::make_unique<MainWindow>();
        window->resize(1280, 800);
        window->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        window.reset();
        MediaRegistry::instance().closeAll();
        MediaRegistry::instance().setSynthHost(nullptr);
    }
    // Opens a song as File Open would, with `path` chosen in the dialog.
    void open(const QString& path) {
        window->chooseSongFile = [path] { return path; };
        window->FileOpen();
    }
    // Plays on for `seconds`, one status poll every 50 ms of song time.
    void advance(double seconds) {
        const int polls = static_cast<int>(seconds * 20 + 0.5);
        for (int i = 0; i < polls; ++i) {
            host->render(host->sampleRate() / 20 / 64 * 64, nullptr);
            QApplication::processEvents();
            if (window->sequencerControl().updateInterval() > 0) window->transport().Poll();
        }
    }
    void play() {
        window->panel().midi->button(MediaButton::Play)->click();
        QApplication::processEvents();
    }
    void shot(const QString& name) {
        QDir().mkpath(QStringLiteral(CANTAVO_SHOTS_DIR));
        window->grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/") + name + QStringLiteral(".png"));
    }
    std::unique_ptr<SynthHost> host = [] {
        SynthHost::Options o;
        o.offline = true;
        QString error;
        return SynthHost::create(o, &error);
    }();
    std::unique_ptr<MainWindow> window;
};

}  // namespace cantavo::test
