#include "commands.h"

namespace cantavo {

namespace {
const QString kNotAvailable = QStringLiteral("Not available yet");
}

Commands::Commands(QObject* parent) : QObject(parent) {}

QAction* Commands::add(const QString& name, const QString& caption, const QKeySequence& shortcut, bool startEnabled, int helpContext) {
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    actions_.insert(name, a);
    wanted_.insert(name, startEnabled);
    available_.insert(name, false);
    help_.insert(name, helpContext);
    apply(name);
    return a;
}

QAction* Commands::operator[](const QString& name) const { return actions_.value(name, nullptr); }

void Commands::setAvailable(const QString& name, bool available) {
    available_.insert(name, available);
    apply(name);
}

void Commands::setEnabled(const QString& name, bool on) {
    wanted_.insert(name, on);
    apply(name);
}

void Commands::apply(const QString& name) {
    QAction* a = actions_.value(name, nullptr);
    if (!a) return;
    const bool available = available_.value(name, false);
    a->setEnabled(available && wanted_.value(name, false));
    const QString plain = a->text().remove(QLatin1Char('&'));
    a->setToolTip(available ? (a->property("tip").toString().isEmpty() ? plain : a->property("tip").toString()) : kNotAvailable);
}

}  // namespace cantavo
