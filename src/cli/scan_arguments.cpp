#include "cli/scan_arguments.h"

namespace clarivex::cli {

bool parseScanArguments(const QList<QByteArray> &args, qsizetype from, bool takesDrives,
                        const std::function<bool(const QByteArray &)> &ownOption,
                        ScanArguments &parsed, QByteArray &problem)
{
    for (qsizetype i = from; i < args.size(); ++i) {
        const QByteArray &arg = args[i];
        if (arg == "--json") {
            parsed.json = true;
        } else if (arg == "--clean") {
            parsed.clean = true;
        } else if (arg == "--dry-run") {
            parsed.dryRun = true;
        } else if (arg == "--quiet") {
            parsed.quiet = true;
        } else if (arg == "--map" && i + 1 < args.size() && !args[i + 1].isEmpty()) {
            parsed.map = args[++i];
        } else if (takesDrives && arg == "--drive" && i + 1 < args.size() &&
                   !args[i + 1].isEmpty()) {
            parsed.drives << args[++i];
        } else if (!ownOption || !ownOption(arg)) {
            problem = takesDrives && arg == "--drive" ? "--drive needs a folder"
                      : arg == "--map"                ? "--map needs a file name"
                                                      : "unknown argument '" + arg + "'";
            return false;
        }
    }
    if (parsed.dryRun && !parsed.clean) {
        problem = "--dry-run goes with --clean";
        return false;
    }
    return true;
}

} // namespace clarivex::cli
