// clarivex-cli: the program's scans, finder and settings store without a window.

#include "cli/cli_command.h"

#include <QCoreApplication>

#include <algorithm>
#include <csignal>
#include <cstring>

using namespace clarivex::cli;

static void printUsage(FILE *to)
{
    std::fprintf(to, "usage: clarivex-cli COMMAND [ARGUMENTS]\ncommands:\n");
    std::vector<CliCommand> sorted = registeredCommands();
    std::sort(sorted.begin(), sorted.end(), [](const CliCommand &a, const CliCommand &b) {
        return std::strcmp(a.name, b.name) < 0;
    });
    for (const CliCommand &command : sorted)
        std::fprintf(to, "  %s\n", command.usage);
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
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) {
        printUsage(stdout);
        return ExitOk;
    }
    for (const CliCommand &command : registeredCommands()) {
        if (std::strcmp(command.name, argv[1]) != 0) continue;
        QList<QByteArray> args;
        for (int i = 2; i < argc; ++i)
            args << QByteArray(argv[i]);
        const int code = command.run(args);
        std::fflush(stdout);
        return code;
    }
    std::fprintf(stderr, "clarivex-cli: unknown command '%s'\n", argv[1]);
    printUsage(stderr);
    return ExitUsage;
}
