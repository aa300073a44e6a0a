#pragma once

#include <QProgressBar>
#include <QWidget>

#include <functional>
#include <vector>

#include "lyriclines.h"
#include "lyricssurface.h"

namespace cantavo {

class SongSession;

// The lyrics window: the pilot line at the top, the syllables sung overprinted in the
// highlight colour as the song reaches them, the following lines below, and a gauge that
// counts down to the next syllable.
class LyricsWindow : public QWidget {
    Q_OBJECT
public:
    LyricsWindow(SongSession& session, QWidget* parent = nullptr);

    DisplaySettings settings;

    // Builds the line table from the song's lyrics and draws the first page. Opening and
    // rewinding show the control panel again with it; a redraw (a resize, say) does not.
    void BuildLines(bool showPanel = true);
    // Draws the page of the current line; `fallbackLine` is the line at which the first page
    // is built instead (0 after a resize or a font change, 1 after a bitmap change or a jump).
    void RedrawPage(int fallbackLine);
    // Highlights the next syllable once the song has reached it (at most one per call).
    void HighlightStep(double tickPosition);
    // The font, the text colour and the background picture of the settings, on the surface.
    void ApplyLyricsFont();
    // Clears the surface (opening a song).
    void ClearPicture();

    void setGauge(double percent);
    // The wipe through the syllable being sung, at `heardMs` of the song: from its start to
    // the next syllable's (at most kLongestWipeMs). NaN: not playing (whole syllables).
    void followWipe(double heardMs);
    static constexpr double kLongestWipeMs = 1500;
    double gauge() const { return gauge_->value(); }

    // The menu commands, each after its dialog.
    void FontsAndColors();
    void ChooseBitmap();
    void PilotLineColor();
    void HighlightColor();
    void SolidColor();
    // The same without the dialogs.
    void applyFont(const QFont& font, const QColor& color);
    bool applyBitmap(const QString& path);
    // A compilation's background picture: shown until the next one or a chosen bitmap, and
    // not kept in the settings. False when the file is not a picture.
    bool ShowPicture(const QString& path);
    const QString& shownPicture() const { return shownPicture_; }
    void applyBackColor(const QColor& c);

    LyricsSurface& surface() { return *surface_; }
    // A strip shown under the lyrics, above the gauge (the pitch guide).
    void addStrip(QWidget* strip);
    const QString& lyricsText() const { return lyricsText_; }

signals:
    // A first page was drawn: the control panel is shown again and the focus goes back to
    // the sequencer control.
    void firstPageDrawn();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QString shownPicture_;
    QFont lyricsFont() const;
    void drawPageFor(int line, const QColor& pilotColor);
    QStringList linesAfter(int line) const;

    SongSession& session_;
    LyricsSurface* surface_;
    QProgressBar* gauge_;
    QString lyricsText_;
    std::vector<int> lineStart_;  // the lyric index that starts each line
};

}  // namespace cantavo
