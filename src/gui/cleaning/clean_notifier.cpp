#include "gui/cleaning/clean_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariantMap>

namespace clarivex::ui {

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kTitle = QStringLiteral("Clarivex 2000");
const QString kUndoAction = QStringLiteral("undo");

} // namespace

CleanNotifier::CleanNotifier(QObject *parent) : QObject(parent) {}

bool CleanNotifier::notify(qint64 clean, const QString &text)
{
    if (sendOverBus(clean, text)) return true;
    if (fallback) fallback(kTitle, text);
    return false;
}

bool CleanNotifier::sendOverBus(qint64 clean, const QString &text)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return false; // no bus to ask
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage capabilities = QDBusMessage::createMethodCall(service, kPath, kInterface,
                                                               QStringLiteral("GetCapabilities"));
    const QDBusMessage offered = bus.call(capabilities, QDBus::Block, timeoutMs);
    if (offered.type() != QDBusMessage::ReplyMessage) return false;
    const bool actions =
        !offered.arguments().isEmpty() &&
        offered.arguments().first().toStringList().contains(QStringLiteral("actions"));
    QDBusMessage message =
        QDBusMessage::createMethodCall(service, kPath, kInterface, QStringLiteral("Notify"));
    message << kTitle << uint(0) << QStringLiteral("clarivex") << kTitle << text
            << (actions ? QStringList{kUndoAction, QStringLiteral("Undo")} : QStringList())
            << QVariantMap() << int(-1);
    const QDBusMessage reply = bus.call(message, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    if (actions) {
        if (!m_listening)
            m_listening = bus.connect(service, kPath, kInterface, QStringLiteral("ActionInvoked"),
                                      this, SLOT(actionInvoked(uint, QString)));
        m_sent.insert(reply.arguments().first().toUInt(), clean);
    }
    return true;
}

void CleanNotifier::actionInvoked(uint notification, const QString &action)
{
    const auto it = m_sent.constFind(notification);
    if (it == m_sent.constEnd()) return; // another program's notification
    const qint64 clean = it.value();
    m_sent.erase(it);
    if (action == kUndoAction) emit undoRequested(clean);
}

} // namespace clarivex::ui
