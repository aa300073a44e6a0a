#pragma once

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

#include "mediacontrol.h"

namespace cantavo {

// The "MIDI playing Progress Indicator": a fill gauge that takes a click as a place to jump to.
class ProgressIndicator : public QWidget {
    Q_OBJECT
public:
    explicit ProgressIndicator(QWidget* parent = nullptr);
    void setFill(double percent);
    double fill() const { return fill_; }
    QSize sizeHint() const override { return {200, 22}; }

signals:
    // Mouse button down at fraction `f` (0 at the left edge, 1 at the right) of the width.
    void clickedAt(double f);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    double fill_ = 0;
};

// The control panel of the main window: the media controls, the display panels, the tempo
// spin buttons and the command buttons.
class ControlPanel : public QWidget {
    Q_OBJECT
public:
    explicit ControlPanel(QWidget* parent = nullptr);

    MediaControl* midi;        // MMControl1
    MediaControl* wave;        // MMControl2
    MediaControl* sounds;      // MMControl3, hidden
    QLabel* totalTime;         // Panel3D4
    QLabel* currentTime;       // Panel3D5
    QLabel* title;             // Panel3D6
    QLabel* tempo;             // Panel3D7
    ProgressIndicator* progress;  // Panel3D8
    QLabel* waveStatus;        // Panel3D10
    QWidget* spin;             // Spin1
    QToolButton* tempoDown;
    QToolButton* tempoUp;
    QPushButton* buttons[9] = {};  // Command1 .. Command8 (index 7 unused)
};

}  // namespace cantavo
