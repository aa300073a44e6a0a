#include "recordingoptions.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

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

void RecordingOptionsDialog::closeEvent(QCloseEvent* e) {
    // Closed by its frame: as "&Cancel".
    hide();
    e->ignore();
}

}  // namespace cantavo
