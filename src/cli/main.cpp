// clarivex-cli: the program's scans, finder and settings store without a window.

#include "cli/cli_command.h"
#include "core/utilities/version_info.h"

#include <QCoreApplication>

#include <algorithm>
#include <csignal>
#include <cstring>

using namespace clarivex::cli;

static void printUsage(FILE *to)
{
    std::fprintf(to, "usage: clarivex-cli COMMAND [ARGUMENTS]\n"
                     "       clarivex-cli help COMMAND | -h | --help | --version\n"
                     "commands:\n");
    std::vector<CliCommand> sorted = registeredCommands();
    std::sort(sorted.begin(), sorted.end(), [](const CliCommand &a, const CliCommand &b) {
        return std::strcmp(a.name, b.name) < 0;
    });
    for (const CliCommand &command : sorted)
        std::fprintf(to, "  %s\n", command.usage);
    std::fprintf(to, "Exit status: 0 done, 1 failed (the reason is on stderr), 2 wrong usage.\n");
}

// "help", "help COMMAND": the program's or one command's help on stdout.
static int runHelp(int argc, char **argv)
{
    if (argc < 3) {
        printUsage(stdout);
        return ExitOk;
    }
    const CliCommand *command = findCommand(argv[2]);
    if (!command) {
        std::fprintf(stderr, "clarivex-cli: unknown command '%s'\n", argv[2]);
        printUsage(stderr);
        return ExitUsage;
    }
    printCommandHelp(*command, stdout);
    return ExitOk;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Past a file-size limit (ulimit -f) a write fails with EFBIG and is
    // reported like any other failed write, instead of killing the program
    // in the middle of it.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication::setApplicationName(QStringLiteral("Clarivex 2000"));
    if (argc < 2) {
        printUsage(stderr);
        return ExitUsage;
    }
    const char *first = argv[1];
    if (!std::strcmp(first, "--version")) {
        std::printf("clarivex-cli %s\n", clarivex::programFileVersion().toUtf8().constData());
        return ExitOk;
    }
    if (!std::strcmp(first, "--help") || !std::strcmp(first, "-h")) {
        printUsage(stdout);
        return ExitOk;
    }
    if (!std::strcmp(first, "help")) return runHelp(argc, argv);
    const CliCommand *command = findCommand(first);
    if (!command) {
        std::fprintf(stderr, "clarivex-cli: unknown command '%s'\n", first);
        printUsage(stderr);
        return ExitUsage;
    }
    QList<QByteArray> args;
    for (int i = 2; i < argc; ++i)
        args << QByteArray(argv[i]);
    if (asksForHelp(args)) {
        printCommandHelp(*command, stdout);
        return ExitOk;
    }
    const int code = command->run(args);
    std::fflush(stdout);
    return code;
}
