#include "modifydialog.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "formwidgets.h"
#include "mci.h"
#include "mediacontrol.h"
#include "numbers.h"
#include "songsession.h"
#include "trackrows.h"

namespace cantavo {

namespace {

const int kColumnTwips[6] = {500, 3500, 600, 700, 3650, 1};
const char* const kHeadings[6] = {"#", "Track Name", "Chan.", "MUTE", "Patch", ""};

}  // namespace

SpinButtons::SpinButtons(const QString& name, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    upButton = new QToolButton(this);
    upButton->setArrowType(Qt::UpArrow);
    downButton = new QToolButton(this);
    downButton->setArrowType(Qt::DownArrow);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    for (QToolButton* b : {upButton, downButton}) {
        b->setAutoRepeat(true);
        b->setFixedSize(18, 12);
        box->addWidget(b);
    }
}

ModifyDialog::ModifyDialog(SongSession& session, SessionView& view, QWidget* parent)
    : QDialog(parent), session_(session), view_(view), patch_(new PatchDialog(this)) {
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Modify .KAR"));
    buildLayout();
    resize(720, 560);

    connect(grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) { cellDoubleClicked(row + 1, column); });
    connect(modifyButton, &QPushButton::clicked, this, &ModifyDialog::ApplyModification);
    connect(cancelButton, &QPushButton::clicked, this, &ModifyDialog::CancelModification);
    const auto step = [](QLineEdit* field, int by) { field->setText(QString::number(LeadingNumber(field->text()) + by)); };
    connect(tempoSpin->upButton, &QToolButton::clicked, this, [=, this] { step(tempo, +1); });
    connect(tempoSpin->downButton, &QToolButton::clicked, this, [=, this] { step(tempo, -1); });
    connect(transposeSpin->upButton, &QToolButton::clicked, this, [=, this] { step(transpose, +1); });
    connect(transposeSpin->downButton, &QToolButton::clicked, this, [=, this] { step(transpose, -1); });
    connect(patch_, &PatchDialog::chosen, this, [this](int program, const QString& text) {
        if (patchTrack_ < 1 || patchTrack_ > patchChanged_.size()) return;
        patchChanged_[patchTrack_ - 1] = 1;
        setCell(patchTrack_, 4, text);
        setCell(patchTrack_, 5, QString::number(program));
    });
}

void ModifyDialog::buildLayout() {
    grid = new QTableWidget(0, 6, this);
    grid->setObjectName(QStringLiteral("Grid1"));
    QStringList headings;
    for (const char* h : kHeadings) headings << QString::fromLatin1(h);
    grid->setHorizontalHeaderLabels(headings);
    grid->verticalHeader()->hide();
    for (int c = 0; c < 6; ++c) grid->setColumnWidth(c, TwipsToPixels(kColumnTwips[c]));
    grid->setColumnHidden(5, true);
    // The patch names take what room the dialog gives beyond the columns' own widths.
    grid->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid->setToolTip(QStringLiteral("Double-click MUTE to leave a track out, Patch to change its instrument"));
    grid->setMinimumHeight(120);
    grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);

    auto* mixer = new QGridLayout;
    mixer->setHorizontalSpacing(0);
    mixer->addWidget(NamedWidget<QLabel>("Label7", QStringLiteral("Mixer"), this), 0, 0, 1, 4);
    // The slider last moved, in numbers: the sliders alone do not say how far they are.
    mixerValue_ = NamedWidget<QLabel>("MixerValue", QString(), this);
    mixer->addWidget(mixerValue_, 0, 4, 1, 12);
    for (int k = 0; k < 16; ++k) {
        auto* s = new QSlider(Qt::Vertical, this);
        s->setObjectName(QStringLiteral("Slider1"));
        s->setProperty("index", k);
        s->setRange(0, 200);
        s->setValue(100);
        s->setTickPosition(QSlider::TicksRight);
        s->setTickInterval(50);
        s->setPageStep(10);
        s->setMinimumHeight(90);
        connect(s, &QSlider::valueChanged, this, [this, k] { showMixerValue(k); });
        sliders[static_cast<size_t>(k)] = s;
        auto* label = NamedWidget<QLabel>("Label1", QStringLiteral("%1").arg(k + 1, 2, 10, QLatin1Char('0')), this);
        label->setProperty("index", k);
        label->setAlignment(Qt::AlignHCenter);
        mixer->addWidget(s, 1, k, Qt::AlignHCenter);
        mixer->addWidget(label, 2, k);
    }
    mixer->setRowStretch(1, 1);

    tempo = new QLineEdit(QStringLiteral("0"), this);
    tempo->setObjectName(QStringLiteral("Text1"));
    transpose = new QLineEdit(QStringLiteral("0"), this);
    transpose->setObjectName(QStringLiteral("Text2"));
    keepChannel = new QLineEdit(QStringLiteral("10"), this);
    keepChannel->setObjectName(QStringLiteral("Text3"));
    for (QLineEdit* f : {tempo, transpose, keepChannel}) f->setMaximumWidth(56);
    tempoSpin = new SpinButtons(QStringLiteral("Spin1"), this);
    transposeSpin = new SpinButtons(QStringLiteral("Spin2"), this);
    keepCheck = new QCheckBox(QStringLiteral("Do not transpose data on MIDI channel"), this);
    keepCheck->setObjectName(QStringLiteral("Check3D1"));
    keepCheck->setChecked(true);
    connect(keepCheck, &QCheckBox::toggled, keepChannel, &QWidget::setEnabled);
    modifyButton = new QPushButton(QStringLiteral("&Modify"), this);
    modifyButton->setObjectName(QStringLiteral("Command1"));
    modifyButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));

    auto* controls = new QGridLayout;
    controls->addWidget(NamedWidget<QLabel>("Label3", QStringLiteral("Tempo"), this), 0, 0);
    controls->addWidget(tempo, 0, 1);
    controls->addWidget(tempoSpin, 0, 2);
    controls->addWidget(NamedWidget<QLabel>("Label6", QStringLiteral("%"), this), 0, 3);
    controls->addWidget(NamedWidget<QLabel>("Label2", QStringLiteral("Transpose"), this), 1, 0);
    controls->addWidget(transpose, 1, 1);
    controls->addWidget(transposeSpin, 1, 2);
    controls->addWidget(NamedWidget<QLabel>("Label5", QStringLiteral("Half Tones"), this), 1, 3);
    controls->setRowStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(modifyButton);
    buttons->addWidget(cancelButton);
    controls->addLayout(buttons, 3, 0, 1, 4);
    controls->setColumnStretch(3, 1);

    auto* keep = new QHBoxLayout;
    keep->addWidget(keepCheck);
    keep->addWidget(keepChannel);
    keep->addStretch();

    auto* lower = new QHBoxLayout;
    lower->addLayout(mixer, 3);
    lower->addSpacing(12);
    lower->addLayout(controls, 2);

    auto* main = new QVBoxLayout(this);
    main->addWidget(NamedWidget<QLabel>("Label4", QStringLiteral("Track List"), this));
    main->addWidget(grid, 3);
    main->addLayout(lower, 2);
    main->addLayout(keep);
}

QString ModifyDialog::cell(int track, int column) const {
    const QTableWidgetItem* item = grid->item(track - 1, column);
    return item ? item->text() : QString();
}

void ModifyDialog::setCell(int track, int column, const QString& text) {
    QTableWidgetItem* item = grid->item(track - 1, column);
    if (!item) {
        item = new QTableWidgetItem;
        grid->setItem(track - 1, column, item);
    }
    item->setText(text);
    if (column == 3) item->setTextAlignment(Qt::AlignCenter);
}

void ModifyDialog::showMixerValue(int k) {
    QSlider* s = sliders[static_cast<size_t>(k)];
    const QString text = QStringLiteral("Channel %1: %2 %").arg(k + 1).arg(s->value());
    const QString played = channelTracks_.value(k + 1);
    s->setToolTip(played.isEmpty() ? text : text + QStringLiteral(" (") + played + QLatin1Char(')'));
    mixerValue_->setText(s->value() == 100 ? QString() : text);
}

void ModifyDialog::PrepareModify() {
    // A recording the singer keeps stops the song from closing, and the dialog from opening.
    session_.CloseSong();
    if (session_.waveUnsaved == 1) return;
    sourcePath_ = session_.songPath;
    encoding_ = SongEncoding::fromName(session_.song.encoding);
    view_.sequencerControl().setCommand(QStringLiteral("close"));
    MciSendString(QStringLiteral("close ") + sourcePath_);
    patchChanged_.clear();
    view_.setProgress(0);
    songClosed_ = true;

    grid->setRowCount(0);
    for (QSlider* s : sliders) s->setValue(100);
    tempo->setText(QStringLiteral("0"));
    transpose->setText(QStringLiteral("0"));
    keepChannel->setText(QStringLiteral("10"));
    keepCheck->setChecked(true);
    show();
    raise();
    activateWindow();
    if (hideMainView) hideMainView();
    repaint();

    view_.setWaitCursor(true);
    QByteArray bytes;
    chunks_ = ReadInputFile(sourcePath_, kMaxSongBytes, &bytes, nullptr) ? ReadSongChunks(bytes) : SongChunks{};
    view_.setWaitCursor(false);
    if (!chunks_.ok) {
        chunks_ = SongChunks{};
        view_.showWarning(QStringLiteral("ERROR"));
        return;
    }
    const int count = static_cast<int>(chunks_.chunks.size());
    grid->setRowCount(count);
    patchChanged_ = QList<int>(count, 0);
    channelTracks_.clear();
    for (int i = 1; i <= count; ++i) {
        fillRow(i);
        if (i > 8) grid->scrollToItem(grid->item(i - 1, 0));
        const int channel = cell(i, 2).toInt();
        if (channel > 0) channelTracks_[channel] += (channelTracks_[channel].isEmpty() ? QString() : QStringLiteral(", ")) + cell(i, 1);
    }
    for (int k = 0; k < 16; ++k) showMixerValue(k);
    grid->scrollToTop();
}

void ModifyDialog::fillRow(int track) {
    const TrackRow row = MakeTrackRow(track, AnalyseTrack(chunks_.chunks[track - 1].bytes, kAnalysedKeepChannel), encoding_);
    for (const auto& [column, text] : {std::pair{0, row.number}, {1, row.name}, {2, row.channel}, {3, row.mute}, {4, row.patch}, {5, row.program}})
        setCell(track, column, text);
}

void ModifyDialog::cellDoubleClicked(int track, int column) {
    if (track < 1 || track > grid->rowCount()) return;
    if (column == 3) {
        if (track <= 3) {
            view_.showWarning(QStringLiteral("This track can't be muted"));
            return;
        }
        setCell(track, 3, cell(track, 3) == QStringLiteral("X") ? QString() : QStringLiteral("X"));
    } else if (column == 4) {
        if (cell(track, 4) == QStringLiteral("-") || track <= 2) return;
        patchTrack_ = track;
        patch_->prepare(cell(track, 4), cell(track, 5).toInt());
        patch_->show();
        patch_->raise();
        patch_->activateWindow();
    }
}

ModifySettings ModifyDialog::settings() const {
    ModifySettings s;
    s.tempoPercent = LeadingNumber(tempo->text());
    s.transpose = static_cast<int>(std::clamp<qint64>(RoundHalfEven(LeadingNumber(transpose->text())), -127, 127));
    // With the box unchecked every channel is transposed.
    s.keepChannel = keepCheck->isChecked() ? static_cast<int>(RoundHalfEven(LeadingNumber(keepChannel->text()))) : 0;
    for (int k = 0; k < 16; ++k) s.mixer[static_cast<size_t>(k)] = sliders[static_cast<size_t>(k)]->value();
    return s;
}

QList<TrackEdit> ModifyDialog::edits() const {
    QList<TrackEdit> list;
    for (int i = 1; i <= chunks_.chunks.size(); ++i) {
        TrackEdit e = EditFor(AnalyseTrack(chunks_.chunks[i - 1].bytes, kAnalysedKeepChannel));
        e.muted = cell(i, 3) == QStringLiteral("X");
        e.patchChanged = patchChanged_.value(i - 1) != 0;
        if (e.patchChanged) e.program = cell(i, 5).toInt();
        list << e;
    }
    return list;
}

void ModifyDialog::rewriting(int track) {
    grid->clearSelection();
    grid->setRangeSelected(QTableWidgetSelectionRange(track - 1, 0, track - 1, 1), true);
    if (track > 7) grid->scrollToItem(grid->item(track - 1, 0), QAbstractItemView::PositionAtTop);
    grid->repaint();
}

void ModifyDialog::illegalData(int, const IllegalData& where) { view_.showWarning(IllegalDataMessage(where)); }

void ModifyDialog::restore() {
    if (restoreMainView) restoreMainView();
    view_.sequencerControl().setFocus();
}

void ModifyDialog::failed(const QString& message) {
    restore();
    view_.showWarning(message);
    unsetCursor();
    view_.setWaitCursor(false);
}

void ModifyDialog::ApplyModification() {
    grid->scrollToTop();
    grid->repaint();
    const QList<TrackEdit> e = edits();
    const ModifySettings s = settings();
    const ModifyRefusal refusal = CheckModification(chunks_, e, s);
    if (refusal == ModifyRefusal::BadDivision) return failed(RefusalMessage(refusal));
    if (refusal != ModifyRefusal::None) {
        view_.showWarning(RefusalMessage(refusal));
        return;
    }
    setCursor(Qt::WaitCursor);
    const QByteArray bytes = WriteModifiedSong(chunks_, e, s, this);
    grid->clearSelection();
    grid->scrollToTop();
    // Beside the song; where that folder cannot be written (installed demo songs, a read-only
    // medium), in the program's own temporary folder.
    QString out = ModifiedSongPath(sourcePath_);
    QString error;
    if (!WriteFileAtomically(out, bytes, &error)) {
        out = QDir(SongSession::TemporaryFolder()).filePath(QFileInfo(out).fileName());
        if (!WriteFileAtomically(out, bytes, &error)) return failed(QStringLiteral("Error in modifying file"));
    }
    SongSession::NoteWorkingFile(out);
    view_.enableCommand(SongCommand::InformationButton, true);
    view_.enableCommand(SongCommand::ToolSaveWave, true);
    // A new tempo is written as a new division: the file's own bpm stays, the song's beats
    // come slower or faster. What is shown is the beat as it is heard.
    if (session_.OpenAsCurrent(out) && chunks_.division() > 0)
        session_.beatScale = static_cast<double>(NewDivision(chunks_.divisionHigh, chunks_.divisionLow, s.tempoPercent)) / chunks_.division();
    songClosed_ = false;
    unsetCursor();
    restore();
}

void ModifyDialog::CancelModification() {
    const QString path = session_.songPath;
    if (!SongSession::IsIntroSong(path) && !path.isEmpty()) {
        if (session_.OpenAsCurrent(path)) {
            view_.setTotalTimePanel(TimeText(session_.songLengthMs));
            if (session_.song.tempoCount > 0) view_.setTempoPanel(SignPosition(session_.song.tempoBpm[1]) + QStringLiteral(" bpm"));
            view_.setCurrentTimePanel(QStringLiteral("00:00"));
        }
    }
    songClosed_ = false;
    restore();
}

void ModifyDialog::closeEvent(QCloseEvent* e) {
    patch_->hide();
    // Leaving the dialog any way but "&Modify" gives the singer the song back.
    if (songClosed_) CancelModification();
    else restore();
    e->accept();
}

}  // namespace cantavo
