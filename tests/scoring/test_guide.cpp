// The pitch guide as a singer sees it: the voice is drawn wherever it was sung, also far from
// the note and when the measurements come unevenly (a busy machine).
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "livescorer.h"
#include "scoreguide.h"
#include "songs.h"

namespace cantavo::test {
namespace {

// The share of the columns between `fromX` and `toX` with a drawn voice in them (the line is
// near white; nothing else on the strip is).
double voiceCover(const QImage& image, int fromX, int toX) {
    int covered = 0;
    for (int x = fromX; x < toX; ++x) {
        for (int y = 0; y < image.height(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200) {
                ++covered;
                break;
            }
        }
    }
    return toX > fromX ? static_cast<double>(covered) / (toX - fromX) : 0;
}

TEST(Guide, TheVoiceIsDrawnWhereverItWasSung) {
    const LoadedSong song = loadSong(demoSong("twinkle"));
    ASSERT_FALSE(song.melody.empty());
    for (const double stepMs : {10.0, 80.0, 140.0}) {
        for (const double off : {0.0, 4.0, -5.0}) {
            SCOPED_TRACE(QStringLiteral("a measurement every %1 ms, %2 semitones off").arg(stepMs).arg(off).toStdString());
            LiveScorer scorer([](qint64) { return NAN; }, song.melody, Difficulty::Normal);
            // Sung from the first note on, for four seconds, without a break.
            const double start = song.melody.notes.front().startMs, end = start + 4000;
            for (double ms = start; ms < end; ms += stepMs) {
                int note = song.melody.noteAt(ms);
                if (note < 0) note = song.melody.noteAt(ms + 200);
                const float pitch = note < 0 ? NAN : static_cast<float>(song.melody.notes[static_cast<size_t>(note)].pitch + off);
                scorer.place(PitchFrame{ms, pitch}, ms);
            }
            ScoreGuide guide;
            guide.resize(700, 130);
            guide.setScorer(&scorer);
            guide.nowMs = [end] { return end; };
            const QImage image = guide.grab().toImage();
            const double w = 700, pxPerMs = w / (ScoreGuide::kPastMs + ScoreGuide::kAheadMs);
            const double markX = w * ScoreGuide::kPastMs / (ScoreGuide::kPastMs + ScoreGuide::kAheadMs);
            // The last two seconds before the mark were sung throughout.
            const int fromX = static_cast<int>(markX - 1900 * pxPerMs), toX = static_cast<int>(markX - 2 * stepMs * pxPerMs) - 2;
            EXPECT_GT(voiceCover(image, fromX, toX), 0.9);
            if (stepMs == 140.0 && off == 4.0) {
                QDir().mkpath(QStringLiteral(CANTAVO_SHOTS_DIR));
                image.save(QStringLiteral(CANTAVO_SHOTS_DIR "/guide-third-sharp-busy.png"));
            }
        }
    }
}

}  // namespace
}  // namespace cantavo::test
