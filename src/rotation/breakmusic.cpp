#include "breakmusic.h"

#include <QFileInfo>

#include <algorithm>

#include "livesettings.h"
#include "rotationstore.h"
#include "synthhost.h"

namespace cantavo {

BreakMusic::BreakMusic(SynthHost& host, QObject* parent) : QObject(parent), sequencer_(host, this, 16) {
    connect(&sequencer_, &Sequencer::completed, this, [this] {
        if (playing_ && !playFrom(next_)) stop();
    });
}

void BreakMusic::setSongs(const QStringList& paths) {
    songs_ = paths;
    next_ = 0;
}

void BreakMusic::setLoudness(int percent) {
    loudness_ = std::clamp(percent, 10, 100);
    if (!sequencer_.isOpen()) return;
    LiveSettings live;
    live.loudness.fill(loudness_);
    sequencer_.setLive(live);
}

bool BreakMusic::start() {
    if (playing_) return true;
    problem_.clear();
    if (songs_.isEmpty()) {
        problem_ = QStringLiteral("There is no break music: choose its songs first.");
        return false;
    }
    return playFrom(next_);
}

bool BreakMusic::playFrom(int index) {
    // Each song at most once round the list: a list of nothing but unreadable files ends.
    QStringList failures;
    for (int tried = 0; tried < songs_.size(); ++tried) {
        const int at = (index + tried) % static_cast<int>(songs_.size());
        QString why;
        if (!sequencer_.open(songs_[at], &why)) {
            failures << QStringLiteral("%1: %2").arg(QFileInfo(songs_[at]).fileName(), why);
            continue;
        }
        next_ = (at + 1) % static_cast<int>(songs_.size());
        LiveSettings live;
        live.loudness.fill(loudness_);
        sequencer_.setLive(live);
        sequencer_.play();
        playing_ = true;
        title_ = ShownTitle(sequencer_.song().songTitle, songs_[at]);
        emit nowPlayingChanged(title_);
        return true;
    }
    problem_ = QStringLiteral("None of the break music can be played:\n") + failures.join(QLatin1Char('\n'));
    return false;
}

void BreakMusic::stop() {
    const bool was = playing_ || sequencer_.isOpen();
    playing_ = false;
    sequencer_.close();
    title_.clear();
    if (was) emit nowPlayingChanged(QString());
}

}  // namespace cantavo
