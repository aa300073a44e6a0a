#include "requestspane.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <qrencode.h>

#include "livesettings.h"

namespace cantavo {

RequestsPane::RequestsPane(RequestDesk& desk, QWidget* parent) : QWidget(parent), desk_(desk) {
    setObjectName(QStringLiteral("RequestsPane"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    address_ = new QLabel(this);
    address_->setObjectName(QStringLiteral("RequestsAddress"));
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("RequestList"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Requested by"), QStringLiteral("Song"), QStringLiteral("Key")});
    list_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list_->setMaximumHeight(140);
    accept_ = new QPushButton(QStringLiteral("A&ccept"), this);
    accept_->setObjectName(QStringLiteral("AcceptRequest"));
    accept_->setToolTip(QStringLiteral("The song goes to that singer's queue (a new name joins the rotation)"));
    reject_ = new QPushButton(QStringLiteral("Re&ject"), this);
    reject_->setObjectName(QStringLiteral("RejectRequest"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(accept_);
    buttons->addWidget(reject_);
    buttons->addStretch(1);
    column->addWidget(address_);
    column->addWidget(list_);
    column->addLayout(buttons);
    connect(accept_, &QPushButton::clicked, this, [this] { answer(true); });
    connect(reject_, &QPushButton::clicked, this, [this] { answer(false); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        accept_->setEnabled(list_->currentItem());
        reject_->setEnabled(list_->currentItem());
    });
    connect(&desk_, &RequestDesk::changed, this, &RequestsPane::reload);
    setAddress({});
    reload();
}

void RequestsPane::setAddress(const QString& url) {
    address_->setText(url.isEmpty() ? QStringLiteral("Requests from phones are off (Preferences ▸ Requests).") : QStringLiteral("Guests request songs at %1").arg(url));
}

void RequestsPane::reload() {
    const QString current = list_->currentItem() ? list_->currentItem()->data(0, Qt::UserRole).toString() : QString();
    list_->clear();
    for (const GuestRequest& r : desk_.pending()) {
        auto* row = new QTreeWidgetItem(list_, {r.name, r.title, KeyText(r.key)});
        row->setData(0, Qt::UserRole, r.token);
        row->setToolTip(1, r.path);
        if (r.token == current) list_->setCurrentItem(row);
    }
    if (!list_->currentItem() && list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
    accept_->setEnabled(list_->currentItem());
    reject_->setEnabled(list_->currentItem());
}

void RequestsPane::answer(bool accept) {
    const QTreeWidgetItem* item = list_->currentItem();
    if (!item) return;
    const std::optional<GuestRequest> r = desk_.find(item->data(0, Qt::UserRole).toString());
    if (!r) return;
    if (accept) emit accepted(*r);
    else emit rejected(*r);
}

QImage QrCode(const QString& text, int scale) {
    const QByteArray utf8 = text.toUtf8();
    QRcode* code = QRcode_encodeString(utf8.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code) return {};
    const int quiet = 4, side = (code->width + 2 * quiet) * scale;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1) p.fillRect((x + quiet) * scale, (y + quiet) * scale, scale, scale, Qt::black);
    p.end();
    QRcode_free(code);
    return image;
}

RequestsDialog::RequestsDialog(const QList<QHostAddress>& offered, const QList<QHostAddress>& chosen, quint16 port, bool on, QWidget* parent)
    : QDialog(parent), offered_(offered) {
    setObjectName(QStringLiteral("RequestsDialog"));
    setWindowTitle(QStringLiteral("Requests"));
    auto* column = new QVBoxLayout(this);
    on_ = new QCheckBox(QStringLiteral("&Take song requests from guests' phones"), this);
    on_->setObjectName(QStringLiteral("RequestsOn"));
    on_->setChecked(on);
    port_ = new QSpinBox(this);
    port_->setObjectName(QStringLiteral("RequestsPort"));
    port_->setRange(1024, 65535);
    port_->setValue(port);
    addresses_ = new QListWidget(this);
    addresses_->setObjectName(QStringLiteral("RequestsAddresses"));
    for (const QHostAddress& a : offered) {
        auto* item = new QListWidgetItem(a.isLoopback() ? a.toString() + QStringLiteral(" (this computer only)") : a.toString(), addresses_);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(chosen.contains(a) ? Qt::Checked : Qt::Unchecked);
    }
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Port:"), port_);
    form->addRow(QStringLiteral("&Listen on:"), addresses_);
    urls_ = new QLabel(this);
    urls_->setObjectName(QStringLiteral("RequestsUrls"));
    urls_->setWordWrap(true);
    urls_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    qr_ = new QLabel(this);
    qr_->setObjectName(QStringLiteral("RequestsQr"));
    qr_->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Apply | QDialogButtonBox::Close, this);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, &RequestsDialog::applyRequested);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(on_);
    column->addLayout(form);
    column->addWidget(urls_);
    column->addWidget(qr_);
    column->addWidget(buttons);
}

bool RequestsDialog::on() const { return on_->isChecked(); }
quint16 RequestsDialog::port() const { return static_cast<quint16>(port_->value()); }

QList<QHostAddress> RequestsDialog::chosen() const {
    QList<QHostAddress> out;
    for (int i = 0; i < addresses_->count(); ++i)
        if (addresses_->item(i)->checkState() == Qt::Checked) out << offered_.value(i);
    return out;
}

void RequestsDialog::showResult(const QStringList& urls, const QString& problem) {
    if (!problem.isEmpty()) {
        urls_->setText(problem);
        qr_->clear();
        return;
    }
    urls_->setText(urls.isEmpty() ? QStringLiteral("Requests are off.") : QStringLiteral("Guests open: ") + urls.join(QStringLiteral("  ")));
    // The first address off this computer is the one phones can reach.
    QString shown;
    for (const QString& u : urls)
        if (shown.isEmpty() || shown.contains(QStringLiteral("127.0.0.1"))) shown = u;
    qr_->setPixmap(shown.isEmpty() ? QPixmap() : QPixmap::fromImage(QrCode(shown, 4)));
}

}  // namespace cantavo
