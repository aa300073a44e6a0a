#pragma once

#include <QDialog>
#include <QHostAddress>
#include <QImage>
#include <QWidget>

#include "requestdesk.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace cantavo {

// The guests' requests waiting for the host, under the rotation: accept (the song goes to that
// singer's queue) or reject.
class RequestsPane : public QWidget {
    Q_OBJECT
public:
    RequestsPane(RequestDesk& desk, QWidget* parent = nullptr);
    QTreeWidget& list() { return *list_; }
    // The address guests open, or empty while the server is off.
    void setAddress(const QString& url);
    void reload();

signals:
    void accepted(const cantavo::GuestRequest& request);
    void rejected(const cantavo::GuestRequest& request);

private:
    void answer(bool accept);
    RequestDesk& desk_;
    QTreeWidget* list_;
    QPushButton *accept_, *reject_;
    QLabel* address_;
};

// A QR code of `text`, `scale` pixels a module with a quiet zone; null when it cannot be made.
QImage QrCode(const QString& text, int scale = 6);

// Preferences ▸ Requests: on or off, the port, the addresses of this machine to listen on, and
// the address with its QR code once on.
class RequestsDialog : public QDialog {
    Q_OBJECT
public:
    RequestsDialog(const QList<QHostAddress>& offered, const QList<QHostAddress>& chosen, quint16 port, bool on, QWidget* parent = nullptr);
    bool on() const;
    quint16 port() const;
    QList<QHostAddress> chosen() const;
    // What the server said when started (its addresses, or why it could not start).
    void showResult(const QStringList& urls, const QString& problem);

signals:
    void applyRequested();

private:
    QList<QHostAddress> offered_;
    QCheckBox* on_;
    QSpinBox* port_;
    QListWidget* addresses_;
    QLabel *urls_, *qr_;
};

}  // namespace cantavo
