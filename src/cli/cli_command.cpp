#include "cli/cli_command.h"

#include "core/shell/registry_database.h"

#include <QString>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

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

const CliCommand *findCommand(const char *name)
{
    for (const CliCommand &command : commands()) {
        if (std::strcmp(command.name, name) == 0) return &command;
    }
    return nullptr;
}

void printCommandHelp(const CliCommand &command, FILE *to)
{
    std::fprintf(to, "usage: %s\n", command.usage);
    if (command.help) std::fprintf(to, "\n%s", command.help);
}

bool asksForHelp(const QList<QByteArray> &args)
{
    for (const QByteArray &arg : args) {
        if (arg == "--") return false;
        if (arg == "-h" || arg == "--help") return true;
    }
    return false;
}

int checkFolder(const char *command, const QByteArray &path)
{
    struct stat facts
    {
    };
    const bool found = ::stat(path.constData(), &facts) == 0;
    if (found && S_ISDIR(facts.st_mode)) return ExitOk;
    const int error = found ? 0 : errno;
    const char *problem = found                                 ? "not a folder"
                          : error == ENOENT || error == ENOTDIR ? "no such folder"
                                                                : std::strerror(error);
    std::fprintf(stderr, "clarivex-cli %s: %s: ", command, problem);
    std::fwrite(path.constData(), 1, size_t(path.size()), stderr);
    std::fputc('\n', stderr);
    return ExitFailed;
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
