#pragma once

#include <QHash>
#include <QImage>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace cantavo {

class LyricsSurface;
class SongSession;

// The singers' screen: what the room sees, on a display of its own. The page and the lit
// part are the lyrics window's (it follows the host's surface, so the two never disagree), in
// a font of the same family sized for the room; a title card between songs, the next song
// when one is known, and a countdown of dots before a line that follows a long silence.
//
// It opens full screen on the chosen screen (1-based in the desktop's order; 0: the screen the
// host's window is not on, when there are two or more), as a normal window when there is only
// one, and moves when screens come and go.
class SingersScreen : public QWidget {
    Q_OBJECT
public:
    SingersScreen(const SongSession& session, const LyricsSurface& host, QWidget* parent = nullptr);

    void setPreferredScreen(int oneBased);
    int preferredScreen() const { return preferred_; }
    // The screen the host's window is on, to stay off it.
    std::function<QScreen*()> hostScreen;
    // Shows it where it belongs (full screen on another display, or a window).
    void present();
    // "Next:" on the title card (the compilation's or the rotation's next song), or empty.
    void setNextUp(const QString& text);
    const QString& nextUp() const { return next_; }
    // Between songs, the address where guests request songs and its QR code (empty: none).
    void setInvitation(const QString& url, const QImage& qr);
    const QString& invitation() const { return inviteUrl_; }

    // What it shows now, for tests: the title card or the lyrics, and the countdown.
    bool showingTitleCard() const { return titleCard_; }
    int countdown() const { return countdown_; }
    // The point size the lyrics are drawn in (fitted to the song's longest line).
    int lyricsPointSize() const;
    QScreen* targetScreen() const;
    // The rows of lyrics it drew last (the pilot line first; none on a title card), and how
    // far into the pilot line it shows the highlight against how far the host's reaches now.
    const QStringList& shownRows() const { return rows_; }
    double shownLitWidth() const { return shownLit_; }
    double hostLitWidth() const { return litWidth(); }

signals:
    void shownChanged(bool shown);

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent*) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void refresh();
    void fitFont();
    // The page is drawn twice when its look changes (the unlit page, and the pilot line lit),
    // and each frame shows the lit one as far as the highlight reaches: the wipe costs a strip
    // of the pilot line, not the whole screen. True when they were drawn again.
    bool buildLayers();
    QString lookKey() const;
    void drawBackground(QPainter& p);
    void drawPage(QPainter& p, bool lit);
    void drawRow(QPainter& p, const QString& text, const QFont& font, const QColor& color, int baseline);
    double litWidth() const;

    const SongSession& session_;
    const LyricsSurface& host_;
    int preferred_ = 0;
    QString next_;
    QString inviteUrl_;
    QImage inviteQr_;
    bool titleCard_ = true;
    int countdown_ = 0;
    QFont font_;
    QString fittedFor_;  // the song the font was fitted to, and at what size of the window
    QSize fittedAt_;
    QTimer tick_;
    QImage unlit_, lit_, tinted_;
    bool hasLit_ = false;
    QString layersKey_;
    QRect pilotRow_;
    QFont pilotFont_;
    double shownLit_ = 0;
    QStringList rows_;
    QImage background_;
    QString backgroundKey_;
    QHash<QString, QImage> rowMasks_;
    bool hostGone_ = false;
};

}  // namespace cantavo
