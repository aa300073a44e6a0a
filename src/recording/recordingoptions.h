#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <functional>

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

    std::array<QRadioButton*, 2> bits;      // Option3D1: "8", "16"
    std::array<QRadioButton*, 2> channels;  // Option3D2: "Mono", "Stereo"
    std::array<QRadioButton*, 3> rates;     // Option3D3: "11", "22", "44"
    std::array<QRadioButton*, 2> sources;   // Option3D4: "Voice and music", "Voice only"
    QLabel* input;                          // InputName
    QPushButton* ok;                        // Command1
    QPushButton* cancel;                    // Command2

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    RecordingChoice current() const;
    bool showing_ = false;
    bool wantMusic_ = true;
};

}  // namespace cantavo
