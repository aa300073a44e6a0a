#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

namespace cantavo {

class LiveScorer;

// The pitch guide: a strip under the lyrics with the melody's notes as bars on a pitch
// scale, scrolling with the music past a mark at the current moment, and the singer's
// voice drawn over them, moved by whole octaves to the octave of the note it is measured
// against. Past notes turn green as far as they were sung in tune. It repaints at the
// display's rate while the song plays.
class ScoreGuide : public QWidget {
    Q_OBJECT
public:
    explicit ScoreGuide(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // What is drawn: the scorer (melody, voice, shares) and the song's own time now, in ms.
    void setScorer(const LiveScorer* scorer);
    std::function<double()> nowMs;
    // A message over the strip ("The microphone could not be opened..."), or empty. With no
    // melody it stands alone.
    void setMessage(const QString& text);
    // The running score in the corner; at the song's end, the result and its verdict.
    void setScoreText(const QString& text);
    void setResult(const QString& headline, const QString& detail);
    void clearResult();
    QString message() const { return message_; }
    QString scoreText() const { return scoreText_; }
    QString resultHeadline() const { return resultHeadline_; }

    // Repaint continuously (while playing) or only when something changes.
    void setRunning(bool on);
    bool running() const { return frameTimer_.isActive(); }

    // The time each of the last frames took to paint, in ms (for measuring).
    const std::vector<double>& frameTimes() const { return frameTimes_; }
    void clearFrameTimes() { frameTimes_.clear(); }

    // How much song time the strip shows before and after the mark.
    static constexpr double kPastMs = 2000, kAheadMs = 5000;
    // The longest gap between two measurements that the voice's line is drawn across.
    static constexpr double kBreathMs = 250;

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    int refreshIntervalMs() const;
    const LiveScorer* scorer_ = nullptr;
    QTimer frameTimer_;
    QString message_;
    QString scoreText_;
    QString resultHeadline_;
    QString resultDetail_;
    std::vector<double> frameTimes_;
};

}  // namespace cantavo
