#pragma once

#include <QByteArray>
#include <QList>

#include <cstdio>
#include <vector>

namespace clarivex::cli {

// Exit codes shared by every sub-command.
enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

// A sub-command of clarivex-cli. Arguments arrive as raw bytes (everything
// after the sub-command's name), so that paths which are not UTF-8 survive.
struct CliCommand
{
    const char *name;
    const char *usage; // one line: "clarivex-cli NAME ..."
    int (*run)(const QList<QByteArray> &args);
    const char *help = nullptr; // what `help NAME` prints under the usage line
};

// Each sub-command's file holds one static CliCommandRegistrar.
class CliCommandRegistrar
{
public:
    explicit CliCommandRegistrar(const CliCommand &command);
};

const std::vector<CliCommand> &registeredCommands();

// The command of that name, or null.
const CliCommand *findCommand(const char *name);
// "usage: ..." and the command's help, on `to`.
void printCommandHelp(const CliCommand &command, FILE *to);
// True when the arguments ask for help (-h or --help before a "--").
[[nodiscard]] bool asksForHelp(const QList<QByteArray> &args);

// ExitOk when `path` names a folder (or a link to one). Otherwise prints one
// line on stderr, "clarivex-cli COMMAND: no such folder: PATH" or "...: not a
// folder: PATH", and returns ExitFailed.
[[nodiscard]] int checkFolder(const char *command, const QByteArray &path);

// Prints "usage: ..." on stderr and returns ExitUsage.
int usageError(const CliCommand &command, const QByteArray &problem = {});
// Prints one line on stderr ("clarivex-cli: MESSAGE") and returns ExitFailed.
int failure(const QString &message);

// Prints the notice of a damaged settings file moved aside, if there is one
// (on stderr, "clarivex-cli: ..."). Every command that opens the store calls it
// on each way out.
void reportSettingsReset();

// Writes bytes to stdout as they are.
void writeOut(const QByteArray &bytes);

} // namespace clarivex::cli
