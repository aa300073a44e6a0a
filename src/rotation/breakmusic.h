#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "sequencer.h"

namespace cantavo {

class SynthHost;

// Music between singers: a list of songs played one after another, quieter than the songs
// sung, with no lyrics shown anywhere, until the next singer's song. It plays on the built-in
// synthesizer's second set of channels, so the song loaded for the next singer (its
// instruments, its key and mix) is left as it is. The list goes on where the last break
// stopped, and round again at its end.
class BreakMusic : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultLoudness = 50;

    explicit BreakMusic(SynthHost& host, QObject* parent = nullptr);

    void setSongs(const QStringList& paths);
    const QStringList& songs() const { return songs_; }
    // Of each song's own loudness, 10..100 percent.
    void setLoudness(int percent);
    int loudness() const { return loudness_; }

    // Plays the next song in turn; a song that cannot be opened is passed over. False when
    // none of them can be played (problem() says why).
    bool start();
    void stop();
    bool playing() const { return playing_; }
    // The title of the song playing, empty when none.
    const QString& nowPlaying() const { return title_; }
    const QString& problem() const { return problem_; }
    Sequencer& sequencer() { return sequencer_; }

signals:
    // A song began (its title) or the music stopped (empty).
    void nowPlayingChanged(const QString& title);

private:
    bool playFrom(int index);

    Sequencer sequencer_;
    QStringList songs_;
    int next_ = 0;
    int loudness_ = kDefaultLoudness;
    bool playing_ = false;
    QString title_;
    QString problem_;
};

}  // namespace cantavo
