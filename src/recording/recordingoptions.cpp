#include "recordingoptions.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <cmath>

#include "formwidgets.h"

namespace cantavo {

namespace {

// A framed row of option buttons named as one control array, each with its element index.
template <size_t N>
QGroupBox* optionFrame(const QString& title, const char* name, const std::array<const char*, N>& captions, std::array<QRadioButton*, N>& buttons,
                       QWidget* parent) {
    auto* frame = new QGroupBox(title, parent);
    auto* row = new QHBoxLayout(frame);
    auto* group = new QButtonGroup(frame);
    for (size_t i = 0; i < N; ++i) {
        buttons[i] = NamedWidget<QRadioButton>(name, QString::fromUtf8(captions[i]), frame);
        buttons[i]->setProperty("index", static_cast<int>(i));
        group->addButton(buttons[i]);
        row->addWidget(buttons[i]);
    }
    row->addStretch();
    return frame;
}

}  // namespace

RecordingOptionsDialog::RecordingOptionsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QStringLiteral("HD Recording Options"));
    setModal(false);
    auto* main = new QVBoxLayout(this);
    main->addWidget(optionFrame<2>(QStringLiteral("Bits"), "Option3D1", {"8", "16"}, bits, this));
    main->addWidget(optionFrame<2>(QStringLiteral("Channels"), "Option3D2", {"Mono", "Stereo"}, channels, this));
    main->addWidget(optionFrame<3>(QStringLiteral("Sampling Rate (KHz)"), "Option3D3", {"11", "22", "44"}, rates, this));
    QGroupBox* record = optionFrame<2>(QStringLiteral("Record"), "Option3D4", {"Voice and music", "Voice only"}, sources, this);
    sources[0]->setToolTip(QStringLiteral("Your voice with the music you heard, together as you sang"));
    sources[1]->setToolTip(QStringLiteral("What the input hears, alone"));
    main->addWidget(record);
    input = NamedWidget<QLabel>("InputName", QString(), this);
    input->setWordWrap(true);
    main->addWidget(input);
    auto* microphone = new QGroupBox(QStringLiteral("Microphone"), this);
    auto* micRows = new QVBoxLayout(microphone);
    inputChoice = new QComboBox(microphone);
    inputChoice->setObjectName(QStringLiteral("InputChoice"));
    micRows->addWidget(inputChoice);
    level = new QProgressBar(microphone);
    level->setObjectName(QStringLiteral("InputLevel"));
    level->setRange(0, 100);
    level->setTextVisible(true);
    level->setFormat(QStringLiteral("Level"));
    level->setToolTip(QStringLiteral("What the microphone hears: sing, and the bar moves"));
    micRows->addWidget(level);
    main->addWidget(microphone);
    meterTimer_.setInterval(50);
    connect(&meterTimer_, &QTimer::timeout, this, &RecordingOptionsDialog::readMeter);
    connect(inputChoice, &QComboBox::activated, this, [this](int index) {
        if (inputChosen) inputChosen(inputChoice->itemData(index).toString());
        input->setText(QStringLiteral("Input: %1").arg(inputChoice->currentText()));
        if (isVisible()) startMeter();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok = NamedWidget<QPushButton>("Command1", QStringLiteral("&OK"), this);
    cancel = NamedWidget<QPushButton>("Command2", QStringLiteral("&Cancel"), this);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    main->addLayout(buttons);

    for (auto* list : {&bits[0], &bits[1], &channels[0], &channels[1], &rates[0], &rates[1], &rates[2], &sources[0], &sources[1]})
        connect(*list, &QRadioButton::toggled, this, [this](bool on) {
            if (on && !showing_ && changed) changed(current());
        });
    connect(ok, &QPushButton::clicked, this, [this] {
        if (accepted) accepted();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
}

RecordingChoice RecordingOptionsDialog::current() const {
    RecordingChoice c;
    c.bits = bits[0]->isChecked() ? 8 : 16;
    c.stereo = channels[0]->isChecked() ? 0 : -1;
    c.khz = rates[0]->isChecked() ? 11 : rates[1]->isChecked() ? 22 : 44;
    // While the music cannot be recorded, the singer's choice waits for it.
    c.withMusic = sources[0]->isEnabled() ? sources[0]->isChecked() : wantMusic_;
    return c;
}

void RecordingOptionsDialog::showChoice(const RecordingChoice& choice, bool musicPossible, const QString& inputName) {
    showing_ = true;
    bits[choice.bits == 8 ? 0 : 1]->setChecked(true);
    channels[choice.stereo == 0 ? 0 : 1]->setChecked(true);
    rates[choice.khz == 11 ? 0 : choice.khz == 22 ? 1 : 2]->setChecked(true);
    wantMusic_ = choice.withMusic;
    sources[0]->setEnabled(musicPossible);
    sources[choice.withMusic && musicPossible ? 0 : 1]->setChecked(true);
    sources[0]->setToolTip(musicPossible ? QStringLiteral("Your voice with the music you heard, together as you sang")
                                         : QStringLiteral("The music goes to an external MIDI device, which the program does not hear"));
    input->setText(QStringLiteral("Input: %1").arg(inputName));
    showing_ = false;
}

void RecordingOptionsDialog::showInputs(const QList<InputSource>& inputs, const QString& chosen, const QString& defaultDescription) {
    inputChoice->clear();
    inputChoice->addItem(QStringLiteral("Default input (%1)").arg(defaultDescription), QString());
    for (const InputSource& i : inputs) inputChoice->addItem(i.description, i.name);
    const int at = inputChoice->findData(chosen);
    if (at >= 0) {
        inputChoice->setCurrentIndex(at);
    } else {
        // Chosen once, not there now (unplugged): kept, and said.
        inputChoice->addItem(QStringLiteral("%1 (not there now)").arg(chosen), chosen);
        inputChoice->setCurrentIndex(inputChoice->count() - 1);
    }
    if (chosen.isEmpty()) inputChoice->setCurrentIndex(0);
}

void RecordingOptionsDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    startMeter();
}

void RecordingOptionsDialog::hideEvent(QHideEvent* e) {
    stopMeter();
    QDialog::hideEvent(e);
}

void RecordingOptionsDialog::startMeter() {
    stopMeter();
    QString error;
    meterInput_ = OpenPulseInput(QStringLiteral("Cantavo! level"), 44100, 50, &error);
    level->setValue(0);
    if (!meterInput_) {
        level->setFormat(QStringLiteral("No input: %1").arg(error));
        return;
    }
    level->setFormat(meterInput_->inputNote().isEmpty() ? QStringLiteral("Level") : meterInput_->inputNote());
    meterTimer_.start();
}

void RecordingOptionsDialog::stopMeter() {
    meterTimer_.stop();
    meterInput_.reset();
}

void RecordingOptionsDialog::readMeter() {
    if (!meterInput_) return;
    meterBuffer_.clear();
    if (meterInput_->read(meterBuffer_, nullptr) < 0) {
        level->setFormat(QStringLiteral("No input: %1").arg(meterInput_->error()));
        level->setValue(0);
        stopMeter();
        return;
    }
    if (meterBuffer_.empty()) return;
    float peak = 0;
    for (float v : meterBuffer_) peak = std::max(peak, std::fabs(v));
    // Sixty decibels shown: from a whisper at the far end of the room to the edge of clipping.
    const double db = peak > 0 ? 20.0 * std::log10(peak) : -120.0;
    level->setValue(static_cast<int>(std::clamp((db + 60.0) / 60.0 * 100.0, 0.0, 100.0)));
}

void RecordingOptionsDialog::closeEvent(QCloseEvent* e) {
    // Closed by its frame: as "&Cancel".
    hide();
    e->ignore();
}

}  // namespace cantavo
