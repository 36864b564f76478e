#include "scheduler/command_options.h"

#include "core/schedule/scheduler_control.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace clarivex::scheduler {

namespace {

constexpr char kUsage[] =
    "Usage: clarivex-scheduler [--status | --quit | --help | --version]\n"
    "Keeps the schedule of Clarivex 2000 while its window is closed: at each scheduled\n"
    "time it starts the scans chosen on the Schedule Options page.\n"
    "\n"
    "  (no option)  start the Scheduler; a second one ends at once\n"
    "  --status     say whether a Scheduler is running and when it starts the next scan\n"
    "  --quit       end the running Scheduler\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

// Answers need an event loop of their own, not a display.
int askRunningScheduler(bool quit)
{
    int argc = 1;
    char name[] = "clarivex-scheduler";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    if (quit) {
        if (askSchedulerToQuit()) {
            std::printf("clarivex-scheduler: the Scheduler was asked to end\n");
            return 0;
        }
        std::printf("clarivex-scheduler: not running\n");
        return 1;
    }
    const SchedulerStatus status = querySchedulerStatus();
    std::printf("clarivex-scheduler: %s\n", qPrintable(schedulerStatusText(status)));
    return status.running ? 0 : 1;
}

} // namespace

std::optional<int> answerCommandOptions(int argc, char **argv)
{
    if (argc < 2) return std::nullopt;
    const char *option = argv[1];
    if (argc == 2 && (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc == 2 && std::strcmp(option, "--status") == 0) return askRunningScheduler(false);
    if (argc == 2 && std::strcmp(option, "--quit") == 0) return askRunningScheduler(true);
    // "--version" is answered by the caller; Qt's own options ("-platform") pass.
    if (std::strncmp(option, "--", 2) != 0 || std::strcmp(option, "--version") == 0)
        return std::nullopt;
    std::fprintf(stderr, "clarivex-scheduler: unknown argument '%s'\n%s", option, kUsage);
    return 2;
}

} // namespace clarivex::scheduler
