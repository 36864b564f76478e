// clarivex-cli scan dirs: every file below the folders the "Clean Directories"
// page checks. clarivex-cli scan shortcuts: the dead shortcuts of the checked
// folders of the "Dead Shortcuts" page. Both with the stored settings, printed
// and ended as scan temp does, and with --clean [--dry-run] cleaned as scan
// temp --clean cleans; an unreadable shortcut is named on stderr and
// does not change the exit code.

#include "cli/scan_folders_command.h"

#include "cli/cli_command.h"
#include "cli/found_rows_printer.h"
#include "cli/scan_arguments.h"
#include "cli/scan_clean.h"
#include "cli/scan_map.h"
#include "cli/stored_settings.h"
#include "core/scanners/dead_shortcut_scan.h"
#include "core/scanners/directory_scan.h"
#include "core/search/found_file_model.h"
#include "core/search/kv_find_file.h"

#include <QFile>
#include <QHash>

#include <cstdio>

namespace clarivex::cli {

namespace {

struct FolderScanArguments : ScanArguments
{
    bool shortcuts = false;
    bool removable = false;
    bool cdRom = false;
    bool network = false;
};

bool parse(const QList<QByteArray> &args, FolderScanArguments &parsed, QByteArray &problem)
{
    parsed.shortcuts = args.first() == "shortcuts";
    const auto targetKinds = [&parsed](const QByteArray &arg) {
        if (!parsed.shortcuts) return false;
        if (arg == "--removable")
            parsed.removable = true;
        else if (arg == "--cdrom")
            parsed.cdRom = true;
        else if (arg == "--network")
            parsed.network = true;
        else
            return false;
        return true;
    };
    return parseScanArguments(args, 1, false, targetKinds, parsed, problem);
}

int scanDirectories(const SettingsCatalogue &settings, const FolderScanArguments &args)
{
    const QList<QByteArray> folders =
        directoryScanFolders(DirectoryScanOptions::fromSettings(settings.directories));
    TKvFindFile finder;
    finder.KeptAway = KeptAwayFolders::fromOptions(settings.options);
    DirectoryScan scan;
    FoundFileModel model;
    model.SetOrigin(ScanOrigin::Directories, model.BeginRun(RunTrigger::Cli));
    scan.addFile = [&](const QByteArray &folder, const TFindData &data, qint64 &size) {
        return model.AddFile(folder, data, &size);
    };
    DirectoryScan::configure(finder);
    scan.run(finder, folders);
    if (args.clean)
        return cleanFound(model, settings.options, {args.dryRun, args.json, args.quiet});
    FoundRowsPrinter printer(model, args.json);
    printer.quiet = args.quiet;
    for (int row = 0; row < model.RowCount(); ++row)
        printer.print(row);
    printer.totals(scan.FoundFileCount, scan.FoundByteTotal);
    return args.map.isEmpty() ? ExitOk : writeScanMap(model, args.map, {});
}

int scanShortcuts(const SettingsCatalogue &settings, const FolderScanArguments &args)
{
    DeadShortcutOptions options = DeadShortcutOptions::fromSettings(settings.deadShortcuts);
    options.removable = args.removable;
    options.cdRom = args.cdRom;
    options.network = args.network;
    TKvFindFile finder;
    finder.KeptAway = KeptAwayFolders::fromOptions(settings.options);
    DeadShortcutScan scan;
    FoundFileModel model;
    model.SetOrigin(ScanOrigin::DeadShortcuts, model.BeginRun(RunTrigger::Cli));
    QHash<QByteArray, QString> targets;
    scan.addFile = [&](const QByteArray &folder, const TFindData &data, qint64 &size) {
        return model.AddFile(folder, data, &size);
    };
    scan.listed = [&](const QByteArray &path, const TShortcutInfo &info) {
        targets.insert(path, info.target);
    };
    scan.skipped = [](const QByteArray &path, const QString &reason) {
        std::fprintf(stderr, "clarivex-cli: Skipped unreadable shortcut: %s (%s)\n",
                     path.constData(), reason.toLocal8Bit().constData());
    };
    DeadShortcutScan::configure(finder);
    scan.run(finder, deadShortcutFolders(options), options);
    if (args.clean)
        return cleanFound(model, settings.options, {args.dryRun, args.json, args.quiet});
    FoundRowsPrinter printer(model, args.json, QStringLiteral("target"),
                             [&](int row) { return targets.value(model.FilePath(row)); });
    printer.quiet = args.quiet;
    for (int row = 0; row < model.RowCount(); ++row)
        printer.print(row);
    printer.totals(scan.FoundFileCount, scan.FoundByteTotal);
    return args.map.isEmpty() ? ExitOk : writeScanMap(model, args.map, {});
}

} // namespace

bool isFolderScan(const QList<QByteArray> &args)
{
    return !args.isEmpty() && (args.first() == "dirs" || args.first() == "shortcuts");
}

int runFolderScan(const QList<QByteArray> &args, const char *usage)
{
    FolderScanArguments parsed;
    QByteArray problem;
    if (!parse(args, parsed, problem))
        return usageError(CliCommand{"scan", usage, nullptr}, problem);
    SettingsCatalogue settings;
    int exitCode = ExitOk;
    if (!loadStoredSettings(settings, exitCode)) return exitCode;
    return parsed.shortcuts ? scanShortcuts(settings, parsed) : scanDirectories(settings, parsed);
}

} // namespace clarivex::cli
