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
};

// Each sub-command's file holds one static CliCommandRegistrar.
class CliCommandRegistrar
{
public:
    explicit CliCommandRegistrar(const CliCommand &command);
};

const std::vector<CliCommand> &registeredCommands();

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
