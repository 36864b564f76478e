#include "core/utilities/version_option.h"

#include <cstdio>
#include <cstring>

namespace clarivex {

QByteArray versionLine(const char *program, const VersionInfo &info)
{
    return QByteArray(program) + ' ' +
           info.value(QStringLiteral("FileVersion")).value_or(QString()).toUtf8();
}

std::optional<int> answerVersionOption(int argc, char **argv, const char *program,
                                       const VersionInfo &info)
{
    bool asked = false;
    for (int i = 1; i < argc && !asked; ++i)
        asked = std::strcmp(argv[i], "--version") == 0;
    if (!asked) return std::nullopt;
    const QByteArray line = versionLine(program, info) + '\n';
    const bool written = std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout) ==
                         std::size_t(line.size());
    // A full or closed output is a failure, not a printed version.
    return (std::fflush(stdout) == 0 && written) ? 0 : 1;
}

} // namespace clarivex
