#pragma once

// The message after an automatic or scheduled clean: a desktop notification
// through the freedesktop notification service on the session bus, with an
// "Undo" action where the server offers actions. Where no server answers
// (no session bus, no service, an error, or no answer within timeoutMs) the
// fallback shows the text instead (the tray icon's message). No call waits
// on the bus longer than timeoutMs.

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

namespace clarivex::ui {

class CleanNotifier : public QObject
{
    Q_OBJECT

public:
    explicit CleanNotifier(QObject *parent = nullptr);

    QString service = QStringLiteral("org.freedesktop.Notifications"); // tests name another
    int timeoutMs = 1000;
    std::function<void(const QString &title, const QString &text)> fallback;

    // Tells the user about clean `clean`; true when the notification service
    // took it, false when the fallback was used.
    bool notify(qint64 clean, const QString &text);

signals:
    void undoRequested(qint64 clean);

private slots:
    void actionInvoked(uint notification, const QString &action);

private:
    bool sendOverBus(qint64 clean, const QString &text);

    QHash<uint, qint64> m_sent; // notification id -> clean
    bool m_listening = false;
};

} // namespace clarivex::ui
