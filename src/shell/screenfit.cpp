#include "screenfit.h"

#include <QApplication>
#include <QDockWidget>
#include <QEvent>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QWidget>

#include <cmath>

#include <algorithm>

namespace cantavo {

QRect FitIntoArea(const QRect& wanted, const QRect& area) {
    if (area.isEmpty()) return wanted;
    const int w = std::clamp(wanted.width(), 1, area.width());
    const int h = std::clamp(wanted.height(), 1, area.height());
    const int x = std::clamp(wanted.x(), area.left(), area.left() + area.width() - w);
    const int y = std::clamp(wanted.y(), area.top(), area.top() + area.height() - h);
    return {x, y, w, h};
}

QScrollArea* ScrollingPanel(QWidget* content) {
    auto* area = new QScrollArea;
    area->setObjectName(content->objectName() + QStringLiteral("Scroll"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(content);
    // A row of controls and a scroll bar: what a panel shrinks to before it closes.
    area->setMinimumHeight(44);
    return area;
}

PageRoom KeepPageRoom(QMainWindow* window, QWidget* page, double share, const QList<QWidget*>& strips) {
    QList<QWidget*> giving;
    for (QDockWidget* d : window->findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly))
        if (d->isVisible() && !d->isFloating() && window->dockWidgetArea(d) == Qt::BottomDockWidgetArea) giving << d;
    for (QWidget* s : strips)
        if (s->isVisible()) giving << s;
    const int total = window->height();
    const int want = static_cast<int>(std::ceil(total * share));
    int taken = 0, wanted = 0, least = 0;
    QList<int> hints, floors, limits;
    for (QWidget* w : giving) {
        // What it would take with no limit (a widget's hint is held to its maximum).
        const int limit = w->maximumHeight();
        w->setMaximumHeight(QWIDGETSIZE_MAX);
        hints << std::max(1, w->sizeHint().height());
        floors << (w->minimumHeight() > 0 ? w->minimumHeight() : w->minimumSizeHint().height());
        w->setMaximumHeight(limit);
        limits << limit;
        taken += w->height();
        wanted += hints.last();
        least += floors.last();
    }
    // What neither the page nor the giving widgets take (menus, tool bar, status bar) stays.
    const int fixed = total - page->height() - taken;
    const int budget = std::max(0, total - want - fixed);
    PageRoom room;
    for (qsizetype i = 0; i < giving.size(); ++i) {
        // Each keeps its least size and a share of what is left over, in proportion to what
        // it would take beyond that.
        const int above = std::max(0, hints[i] - floors[i]);
        const int most = wanted <= budget ? QWIDGETSIZE_MAX
                         : budget <= least ? floors[i]
                                           : floors[i] + (budget - least) * above / std::max(1, wanted - least);
        if (limits[i] != most) {
            giving[i]->setMaximumHeight(most);
            room.changed = true;
        }
    }
    room.lacking = std::max(0, least - budget);
    return room;
}

void ScreenFitter::install() {
    static ScreenFitter* fitter = nullptr;
    if (fitter || !qApp) return;
    fitter = new ScreenFitter(qApp);
    qApp->installEventFilter(fitter);
}

bool ScreenFitter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(watched);
    if (!w->isWindow() || w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip || w->windowType() == Qt::SubWindow) return false;
    if (w->isMaximized() || w->isFullScreen()) return false;
    const QRect frame = w->frameGeometry();
    const QRect inner = w->geometry();
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen) screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!screen) return false;
    // The frame the desktop adds stays inside too.
    const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(), frame.bottom() - inner.bottom());
    const QRect area = screen->availableGeometry().marginsRemoved(margins);
    const QRect fitted = FitIntoArea(inner, area);
    if (fitted != inner) {
        // A window cannot be smaller than its minimum; the windows keep theirs small enough
        // (their panels scroll), but a tiny screen still gets the most that fits.
        const QSize least = w->minimumSizeHint().expandedTo(w->minimumSize());
        if (least.width() > fitted.width() || least.height() > fitted.height()) w->setMinimumSize(least.boundedTo(fitted.size()));
        w->setGeometry(fitted);
    }
    return false;
}

}  // namespace cantavo
