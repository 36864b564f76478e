// clarivex-cli scan temp: the temporary-file scan with the stored settings,
// without a window. It lists what the window would list, in the same order.

#include "cli/cli_command.h"
#include "cli/found_rows_printer.h"
#include "cli/scan_arguments.h"
#include "cli/scan_clean.h"
#include "cli/scan_duplicates_command.h"
#include "cli/scan_folders_command.h"
#include "cli/scan_map.h"
#include "cli/stored_settings.h"
#include "cli/text_encoding.h"
#include "cli/unreadable_report.h"
#include "core/base/formats.h"
#include "core/platform/volumes.h"
#include "core/scanners/temp_file_scan.h"
#include "core/search/found_file_model.h"
#include "core/search/found_row_json.h"
#include "core/search/kv_find_file.h"
#include "core/shell/custom_registry.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace clarivex::cli {

namespace {

int runScan(const QList<QByteArray> &args);

const CliCommand kScan{
    "scan",
    "clarivex-cli scan temp [--drive ROOT]... [--json | --null] [--quiet] [--map FILE] "
    "[--clean [--dry-run]] | duplicates [--drive ROOT]... [--reference FOLDER]... [--keep RULE] "
    "[--json] [--quiet] [--map FILE] [--no-cache] [--clean [--link hard|reflink] [--dry-run]] | "
    "dirs [--json] [--quiet] [--rules all|ID[,ID...]] [--clean [--dry-run]] | "
    "shortcuts [--json] [--quiet] [--removable] [--cdrom] [--network] [--clean [--dry-run]]",
    runScan,
    "Runs one of the window's scans with the settings it stored, and prints what the\n"
    "window would list, in the same order.\n"
    "  temp        the temporary-file scan: the checked file groups, skip folders and\n"
    "              filters of the \"Temporary Files\" page\n"
    "  duplicates  the duplicate-file scan of the \"Duplicate Files\" page; each set is\n"
    "              a blank line, its master, then its duplicates\n"
    "  dirs        every file below the folders the \"Clean Directories\" page checks,\n"
    "              then what its checked application rules find (--rules all, or\n"
    "              rule ids separated by commas, instead of the stored choice)\n"
    "  shortcuts   the dead shortcuts of the folders the \"Dead Shortcuts\" page checks\n"
    "              (--removable, --cdrom, --network: also targets on such drives)\n"
    "Options:\n"
    "  --drive ROOT  scan this folder instead of the checked drives (repeatable); a\n"
    "                ROOT that is missing or not a folder ends the command (exit 1)\n"
    "  --json        one JSON object per row, times in ISO 8601, then one object\n"
    "                with the totals: files, bytes (and sets for duplicates)\n"
    "  --null        (temp) six NUL-ended fields per row: name, folder, size,\n"
    "                modified, attributes, group; the totals go to stderr\n"
    "  --quiet       no totals after the rows\n"
    "  --map FILE    also draw the found files as a treemap into FILE (SVG): each\n"
    "                file a rect, its title the path and size\n"
    "  --no-cache    (duplicates) read every file again and keep no hashes: by\n"
    "                default files unchanged since an earlier scan are not read\n"
    "  --clean       clean every file found in the stored clean mode, without asking,\n"
    "                one line per file; --dry-run only says what would be done\n"
    "Duplicates only:\n"
    "  --reference FOLDER  files below FOLDER (repeatable, besides the page's stored\n"
    "                list) are always their set's master and never cleaned\n"
    "  --keep newest|oldest|shortest-path|first  the copy of each set that becomes\n"
    "                its master (the one kept)\n"
    "  --link hard|reflink  (with --clean) replace each duplicate by a hard link to\n"
    "                its master, or a copy sharing its blocks (btrfs, XFS), after a\n"
    "                byte-for-byte comparison; written to the clean history for undo\n"
    "Plain rows are tab-separated: name, folder, size, modified (dd-MM-yyyy hh:mm:ss),\n"
    "attributes, then the group (temp), master/duplicate (duplicates), the rule\n"
    "(dirs) or the target (shortcuts). The totals line \"Files: N<TAB>Bytes: N\" follows the "
    "rows.\n"};
const CliCommandRegistrar kRegistrar(kScan);

struct TempScanArguments : ScanArguments
{
    bool null = false; // rows of six NUL-ended fields, names as they are
};

std::optional<TempScanArguments> parse(const QList<QByteArray> &args, QByteArray &problem)
{
    if (args.isEmpty() || args.first() != "temp") {
        problem = args.isEmpty() ? "which scan? (temp, duplicates, dirs, shortcuts)"
                                 : "unknown scan '" + args.first() + "'";
        return std::nullopt;
    }
    TempScanArguments parsed;
    const auto null = [&parsed](const QByteArray &arg) {
        if (arg != "--null") return false;
        parsed.null = true;
        return true;
    };
    if (!parseScanArguments(args, 1, true, null, parsed, problem)) return std::nullopt;
    if (parsed.json && parsed.null) {
        problem = "--json and --null exclude each other";
        return std::nullopt;
    }
    return parsed;
}

// The drives to scan: the ones given, or the checked rows of the drive list.
QList<ScanDrive> chooseDrives(const ScanArguments &args, const TempFileSettings &settings)
{
    const QList<platform::Volume> volumes = platform::Volumes::list();
    const auto driveOf = [&](const QByteArray &root) {
        for (const platform::Volume &volume : volumes) {
            if (volume.root == root) return ScanDrive{root, volume.label, volume.caption};
        }
        return ScanDrive{root, QString(), QString()};
    };
    QList<ScanDrive> drives;
    if (!args.drives.isEmpty()) {
        for (const QByteArray &root : args.drives)
            drives.append(driveOf(root));
        return drives;
    }
    const QList<bool> checks = driveChecks(settings.SelectedDrives, volumes.size());
    for (qsizetype i = 0; i < volumes.size(); ++i) {
        if (checks[i]) drives.append({volumes[i].root, volumes[i].label, volumes[i].caption});
    }
    return drives;
}

class RowPrinter
{
public:
    RowPrinter(const FoundFileModel &model, const QList<FileGroup> &groups,
               const TempScanArguments &args)
        : m_model(model), m_groups(groups), m_json(args.json), m_null(args.null),
          m_quiet(args.quiet)
    {
    }

    void print(int row)
    {
        const QByteArray folder = m_model.FolderOf(row);
        const QByteArray name = m_model.NameOf(row).toByteArray();
        const FoundFileRow &facts = m_model.Row(row);
        const QString group = facts.group >= 0 && facts.group < m_groups.size()
                                  ? m_groups[facts.group].name
                                  : QString();
        // The texts the window's list shows for the row.
        const QString modified = m_model.CellText(row, colModified);
        const QString attributes = m_model.CellText(row, colAttributes);
        if (m_json) {
            QJsonObject object = foundRowJson(m_model, row);
            object.insert("group", group);
            m_out += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
        } else if (m_null) {
            for (const QByteArray &field : {name, folder, QByteArray::number(facts.size),
                                            modified.toUtf8(), attributes.toUtf8(), group.toUtf8()})
                m_out += field + '\0';
        } else {
            // A tab or a line end in a name must not split the row.
            m_out += escapeFieldBytes(name) + '\t' + escapeFieldBytes(folder) + '\t' +
                     QByteArray::number(facts.size) + '\t' + modified.toUtf8() + '\t' +
                     attributes.toUtf8() + '\t' + escapeFieldBytes(group.toUtf8()) + '\n';
        }
        if (m_out.size() > 256 * 1024) flush();
    }

    void totals(qint64 files, qint64 bytes)
    {
        if (m_quiet) {
            flush();
            return;
        }
        const QByteArray text = totalsText(m_json, files, bytes);
        if (m_null) { // standard output holds rows only
            flush();
            std::fputs(text.constData(), stderr);
        } else {
            m_out += text;
        }
        flush();
    }

    void flush()
    {
        writeOut(m_out);
        m_out.clear();
    }

private:
    const FoundFileModel &m_model;
    const QList<FileGroup> &m_groups;
    bool m_json;
    bool m_null;
    bool m_quiet;
    QByteArray m_out;
};

int scanTemp(const TempScanArguments &args)
{
    for (const QByteArray &root : args.drives) {
        if (const int missing = checkFolder("scan temp", root); missing != ExitOk) return missing;
    }
    SettingsCatalogue settings;
    int exitCode = ExitOk;
    if (!loadStoredSettings(settings, exitCode)) return exitCode;

    const QList<ScanDrive> drives = chooseDrives(args, settings.tempFiles);
    if (drives.isEmpty())
        return failure(
            QStringLiteral("No Drives selected. Please select at least one drive to be scanned."));
    const TempScanOptions options = TempScanOptions::fromSettings(settings.tempFiles);
    TKvFindFile finder;
    finder.KeptAway = KeptAwayFolders::fromOptions(settings.options);
    TempFileScan scan;
    scan.protection.enabled = settings.options.ProtectSystemFiles;
    if (!scan.configure(finder, options))
        return failure(QStringLiteral("Please select at least a Group to be scanned"));

    FoundFileModel model;
    model.ReadVersionStrings = false; // no output shows them
    model.SetOrigin(ScanOrigin::TempFiles, model.BeginRun(RunTrigger::Cli));
    scan.addFile = [&](const QByteArray &folder, const TFindData &data, qint64 &size) {
        const int group = colourGroupOf(QFile::decodeName(data.name), options.groups);
        return model.AddFile(folder, data, &size, group);
    };
    const UnreadableFolderReport unreadable(finder);
    scan.run(finder, drives);
    if (scan.ProtectedFoldersSkipped > 0)
        std::fprintf(stderr, "clarivex-cli: protected system folders skipped: %lld\n",
                     qlonglong(scan.ProtectedFoldersSkipped));
    if (args.clean)
        return cleanFound(model, settings.options, {args.dryRun, args.json, args.quiet});

    RowPrinter printer(model, options.groups, args);
    for (int row = 0; row < model.RowCount(); ++row)
        printer.print(row);
    printer.totals(scan.FoundFileCount, scan.FoundByteTotal);
    if (args.map.isEmpty()) return ExitOk;
    return writeScanMap(model, args.map, [](const FoundFileRow &row) -> std::optional<int> {
        return row.group >= 0 ? std::optional<int>(row.group) : std::nullopt;
    });
}

int runScan(const QList<QByteArray> &args)
{
    if (!args.isEmpty() && args.first() == "duplicates") return runScanDuplicates(args.mid(1));
    if (isFolderScan(args)) return runFolderScan(args, kScan.usage);
    QByteArray problem;
    const auto parsed = parse(args, problem);
    if (!parsed) return usageError(kScan, problem);
    return scanTemp(*parsed);
}

} // namespace

} // namespace clarivex::cli
