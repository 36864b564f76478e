#pragma once

// The outcome of one action on one file: 0 or the errno that stopped it, and
// the sentence a person reads (the system's own text for an errno, or a
// reason of the program's such as "replaced by a symbolic link").

#include <QByteArray>
#include <QString>

namespace clarivex::cleaning {

struct EntryResult
{
    int error = 0;
    QString reason;         // empty when error is 0
    QByteArray destination; // where the entry went, when it went somewhere

    [[nodiscard]] bool ok() const { return error == 0; }
    [[nodiscard]] static EntryResult done(const QByteArray &destination = {})
    {
        return {0, {}, destination};
    }
    // The system's text for errno `error`, optionally after a few words of context.
    [[nodiscard]] static EntryResult failed(int error, const QString &context = {});
    [[nodiscard]] static EntryResult refused(int error, const QString &reason)
    {
        return {error, reason, {}};
    }
};

} // namespace clarivex::cleaning
