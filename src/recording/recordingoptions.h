#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "audioinput.h"

namespace cantavo {

// The recording settings as the options dialog shows and changes them.
struct RecordingChoice {
    int bits = 16;        // 8 or 16
    int stereo = -1;      // 0 mono, -1 stereo
    int khz = 44;         // 11, 22 or 44
    bool withMusic = true;
};

// "HD Recording Options" (not modal). Each option takes effect as it is clicked; "&OK"
// applies the format to the wave control, "&Cancel" only hides the dialog.
class RecordingOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit RecordingOptionsDialog(QWidget* parent = nullptr);

    // Shows the settings without changing them. `musicPossible`: the music is the built-in
    // synthesizer's (an external MIDI device is not heard by the program). `input`: the
    // desktop's default input, as it names it, or why it cannot be told.
    void showChoice(const RecordingChoice& choice, bool musicPossible, const QString& input);

    std::function<void(RecordingChoice)> changed;  // an option was clicked
    std::function<void()> accepted;                // "&OK"

    // The inputs to choose from, the one chosen (a source's name; empty: the default) and the
    // default's description. `inputChosen` tells of another choice, at once.
    void showInputs(const QList<InputSource>& inputs, const QString& chosen, const QString& defaultDescription);
    std::function<void(const QString&)> inputChosen;

    std::array<QRadioButton*, 2> bits;      // Option3D1: "8", "16"
    std::array<QRadioButton*, 2> channels;  // Option3D2: "Mono", "Stereo"
    std::array<QRadioButton*, 3> rates;     // Option3D3: "11", "22", "44"
    std::array<QRadioButton*, 2> sources;   // Option3D4: "Voice and music", "Voice only"
    QLabel* input;                          // InputName
    QComboBox* inputChoice;                 // InputChoice: the microphone
    QProgressBar* level;                    // InputLevel: what it hears, while the dialog is open
    QPushButton* ok;                        // Command1
    QPushButton* cancel;                    // Command2

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    // The level meter listens to the chosen input while the dialog is shown.
    void startMeter();
    void stopMeter();
    void readMeter();
    std::unique_ptr<AudioInput> meterInput_;
    std::vector<float> meterBuffer_;
    QTimer meterTimer_;
    RecordingChoice current() const;
    bool showing_ = false;
    bool wantMusic_ = true;
};

}  // namespace cantavo
