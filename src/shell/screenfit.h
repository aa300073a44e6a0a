#pragma once

#include <QObject>
#include <QRect>
#include <QScrollArea>

class QMainWindow;

namespace cantavo {

// `wanted` made to fit `area`: no larger than it, and moved in where it stands out; a
// rectangle with no size keeps its size hint's place at the area's centre.
QRect FitIntoArea(const QRect& wanted, const QRect& area);

// Every window of the program, as it is shown, fits the available area of the screen it
// opens on (a saved size from a larger screen, a dialog placed past the edge). Installed
// once on the application; there is no window manager on some desktops to do it.
class ScreenFitter : public QObject {
    Q_OBJECT
public:
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

// A panel that scrolls when its window is too small for it, instead of making the window
// larger than the screen.
QScrollArea* ScrollingPanel(QWidget* content);

// Gives the window's page (its central content, the lyrics) at least `share` of the window's
// height: the docks at the bottom and the `strips` beside the page give way, each in
// proportion to what it would take, down to their least size. Returns how many pixels the
// page still lacks (0 when it has its room), and whether a limit changed (the layout then
// moves, and the page is measured again).
struct PageRoom {
    int lacking = 0;
    bool changed = false;
};
PageRoom KeepPageRoom(QMainWindow* window, QWidget* page, double share, const QList<QWidget*>& strips = {});

}  // namespace cantavo
