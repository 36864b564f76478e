#pragma once

#include "support/wait_limits.h"

#include <QByteArray>
#include <QStringList>

namespace clarivex::test {

struct CliResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the built clarivex-cli with the given arguments (raw bytes, so that
// paths that are not UTF-8 pass unchanged) in the current, isolated environment.
CliResult runCli(const QList<QByteArray> &args, const QByteArray &input = {},
                 int timeoutMs = waitLimitMs());
CliResult runCli(const QStringList &args, const QByteArray &input = {},
                 int timeoutMs = waitLimitMs());

} // namespace clarivex::test
