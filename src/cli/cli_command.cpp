#include "cli/cli_command.h"

#include "core/shell/registry_database.h"

#include <QString>

namespace clarivex::cli {

namespace {
std::vector<CliCommand> &commands()
{
    static std::vector<CliCommand> list;
    return list;
}
} // namespace

CliCommandRegistrar::CliCommandRegistrar(const CliCommand &command)
{
    commands().push_back(command);
}

const std::vector<CliCommand> &registeredCommands()
{
    return commands();
}

int usageError(const CliCommand &command, const QByteArray &problem)
{
    if (!problem.isEmpty())
        std::fprintf(stderr, "clarivex-cli %s: %s\n", command.name, problem.constData());
    std::fprintf(stderr, "usage: %s\n", command.usage);
    return ExitUsage;
}

int failure(const QString &message)
{
    std::fprintf(stderr, "clarivex-cli: %s\n", message.toLocal8Bit().constData());
    return ExitFailed;
}

void reportSettingsReset()
{
    const QString notice = RegistryDatabase::takeResetNotice();
    if (!notice.isEmpty())
        std::fprintf(stderr, "clarivex-cli: %s\n", notice.toLocal8Bit().constData());
}

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

} // namespace clarivex::cli
