// clarivex-cli scan duplicates: the duplicate-file scan with the stored
// settings, without a window. It prints the sets as the window lists them:
// separator, master, duplicates; then the totals. With --clean it cleans the
// duplicates instead (see duplicate_clean.h), or with --link replaces them by
// links to their masters (duplicate_link_command.h). --reference FOLDER
// (repeatable, besides the page's stored list) names folders whose files are
// always masters and never cleaned; --keep newest|oldest|shortest-path|first
// chooses which copy of each set is the master (the one kept).

#include "cli/scan_duplicates_command.h"

#include "cli/cli_command.h"
#include "cli/duplicate_clean.h"
#include "cli/duplicate_link_command.h"
#include "cli/found_rows_printer.h"
#include "cli/scan_arguments.h"
#include "cli/scan_map.h"
#include "cli/stored_settings.h"
#include "cli/text_encoding.h"
#include "core/base/formats.h"
#include "core/platform/volumes.h"
#include "core/scanners/duplicate_keep.h"
#include "core/scanners/duplicate_pool.h"
#include "core/scanners/duplicate_scan.h"
#include "core/search/found_file_model.h"
#include "core/search/found_row_json.h"
#include "core/search/kv_find_file.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cstdio>
#include <optional>

namespace clarivex::cli {

namespace {

constexpr quint32 kNoFolder = 0xFFFFFFFFu;

const CliCommand kUsage{
    "scan",
    "clarivex-cli scan duplicates [--drive ROOT]... [--reference FOLDER]... [--keep "
    "newest|oldest|shortest-path|first] [--json] [--quiet] [--map FILE] [--no-cache] [--clean "
    "[--link hard|reflink] [--dry-run]]",
    nullptr};

struct DuplicateArguments : ScanArguments
{
    std::optional<cleaning::LinkKind> link;
    std::optional<KeepRule> keep;
    QList<QByteArray> references;
    bool noCache = false; // --no-cache: read every file, keep no hashes
};

std::optional<DuplicateArguments> parse(const QList<QByteArray> &args, QByteArray &problem)
{
    DuplicateArguments parsed;
    QList<QByteArray> rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QByteArray &arg = args[i];
        const bool hasValue = i + 1 < args.size() && !args[i + 1].isEmpty();
        if (arg == "--link") {
            parsed.link =
                hasValue ? cleaning::linkKindFromName(QString::fromUtf8(args[++i])) : std::nullopt;
            if (!parsed.link) {
                problem = "--link takes hard or reflink";
                return std::nullopt;
            }
        } else if (arg == "--keep") {
            parsed.keep = hasValue ? keepRuleFromName(QString::fromUtf8(args[++i])) : std::nullopt;
            if (!parsed.keep) {
                problem = "--keep takes newest, oldest, shortest-path or first";
                return std::nullopt;
            }
        } else if (arg == "--reference") {
            if (!hasValue) {
                problem = "--reference needs a folder";
                return std::nullopt;
            }
            parsed.references << args[++i];
        } else if (arg == "--no-cache") {
            parsed.noCache = true;
        } else {
            rest << arg;
        }
    }
    if (!parseScanArguments(rest, 0, true, nullptr, parsed, problem)) return std::nullopt;
    if (parsed.link && !parsed.clean) {
        problem = "--link goes with --clean";
        return std::nullopt;
    }
    return parsed;
}

// The folder as an absolute path without "." or "..", no trailing "/".
QByteArray absoluteFolder(const QByteArray &folder)
{
    return QFile::encodeName(
        QDir::cleanPath(QDir::current().absoluteFilePath(QFile::decodeName(folder))));
}

// The command's reference folders and the page's checked ones.
QList<QByteArray> referenceFolders(const DuplicateArguments &args,
                                   const DuplicateFileSettings &settings)
{
    QList<QByteArray> folders;
    for (const QByteArray &folder : args.references)
        folders << absoluteFolder(folder);
    for (const CheckEntry &entry : settings.ReferenceFolders) {
        if (entry.checked && !entry.text.isEmpty())
            folders << absoluteFolder(QFile::encodeName(entry.text));
    }
    return folders;
}

// The drives given, or the checked rows of the page's drive list.
QList<DuplicateDrive> chooseDrives(const ScanArguments &args, const DuplicateFileSettings &settings)
{
    const QList<platform::Volume> volumes = platform::Volumes::list();
    const auto removable = [&](const QByteArray &root) {
        for (const platform::Volume &volume : volumes) {
            if (volume.root == root) return volume.kind == platform::VolumeKind::Removable;
        }
        return false;
    };
    QList<DuplicateDrive> drives;
    if (!args.drives.isEmpty()) {
        for (const QByteArray &root : args.drives)
            drives.append({root, removable(root)});
        return drives;
    }
    const QList<bool> checks = driveChecks(settings.SelectedDrives, volumes.size());
    for (qsizetype i = 0; i < volumes.size(); ++i) {
        if (checks[i])
            drives.append({volumes[i].root, volumes[i].kind == platform::VolumeKind::Removable});
    }
    return drives;
}

// One line per row: a blank line for a separator, else the row's columns.
class SetPrinter
{
public:
    SetPrinter(const FoundFileModel &model, bool json, bool quiet)
        : m_model(model), m_json(json), m_quiet(quiet)
    {
    }

    void print(int row)
    {
        format(row, m_out);
        if (m_out.size() > 256 * 1024) flush();
    }

    // Every row, in order. The text lines are made on the pool a block of
    // rows at a time (they only read the list) and written in order.
    void printAll()
    {
        m_folders = m_model.FolderPaths();
        constexpr int kBlock = 2048;
        const int rows = m_model.RowCount();
        if (m_json || poolSize() < 2 || rows < 2 * kBlock) {
            for (int row = 0; row < rows; ++row)
                print(row);
            return;
        }
        const size_t wave = size_t(poolSize()) * 4;
        std::vector<QByteArray> blocks(wave);
        for (int first = 0; first < rows; first += int(wave) * kBlock) {
            PoolWork work;
            work.item = [&](size_t block, const std::atomic<bool> &) {
                QByteArray &out = blocks[block];
                out.clear();
                const int from = first + int(block) * kBlock;
                for (int row = from; row < std::min(rows, from + kBlock); ++row)
                    format(row, out);
            };
            (void)runOnPool(wave, work, nullptr);
            flush();
            for (const QByteArray &block : blocks)
                writeOut(block);
        }
    }
    void totals(qint64 files, qint64 bytes, int sets)
    {
        if (!m_quiet) m_out += totalsText(m_json, files, bytes, sets);
        flush();
    }

    void flush()
    {
        writeOut(m_out);
        m_out.clear();
    }

private:
    void format(int row, QByteArray &out) const
    {
        if (m_model.IsSeparator(row)) {
            if (!m_json) out += '\n';
            return;
        }
        if (m_json) {
            QJsonObject object = foundRowJson(m_model, row); // with its set and role
            object.insert("group", QString());
            out += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
            return;
        }
        // The columns as CellText gives them, straight into the line.
        const FoundFileRow &facts = m_model.Row(row);
        out += m_model.NameOf(row);
        out += '\t';
        out += facts.folder < m_folders.size() ? m_folders[facts.folder] : m_model.FolderOf(row);
        out += '\t';
        char number[24];
        out.append(number, std::to_chars(number, number + sizeof number, facts.size).ptr - number);
        out += '\t';
        FoundFileModel::AppendDateTimeText(out, facts.lastWriteTime);
        out += '\t';
        FoundFileModel::AppendAttributesText(out, facts.attributes);
        out += m_model.IsMaster(row) ? "\tmaster\n" : "\tduplicate\n";
    }

    const FoundFileModel &m_model;
    std::vector<QByteArray> m_folders; // every folder's path, while printAll runs
    bool m_json;
    bool m_quiet;
    QByteArray m_out;
};

int scanDuplicates(const DuplicateArguments &args)
{
    for (const QByteArray &root : args.drives + args.references) {
        if (const int missing = checkFolder("scan duplicates", root); missing != ExitOk)
            return missing;
    }
    SettingsCatalogue settings;
    int exitCode = ExitOk;
    if (!loadStoredSettings(settings, exitCode)) return exitCode;
    QList<DuplicateDrive> drives = chooseDrives(args, settings.duplicates);
    const QList<QByteArray> references = referenceFolders(args, settings.duplicates);
    // A reference folder is scanned with the drives, walked once.
    for (const QByteArray &folder : references) {
        if (std::none_of(drives.cbegin(), drives.cend(),
                         [&](const DuplicateDrive &d) { return isInFolder(folder, d.root); }))
            drives.append({folder, false});
    }
    if (drives.isEmpty())
        return failure(
            QStringLiteral("No Drives selected. Please select at least one drive to be scanned."));

    FoundFileModel model;
    model.SetOrigin(ScanOrigin::Duplicates, model.BeginRun(RunTrigger::Cli));
    DuplicateCompare compare;
    compare.addSeparator = [&] { model.AddSeparator(); };
    model.ReadVersionStrings = false; // no output shows them
    std::vector<quint32> folderIds;   // the list's index of each folder of the comparison
    compare.addRow = [&](const QByteArray &folder, quint32 folderIndex, const TFindData &file,
                         bool master, int set) {
        if (folderIndex >= folderIds.size()) folderIds.resize(folderIndex + 1, kNoFolder);
        if (folderIds[folderIndex] == kNoFolder) folderIds[folderIndex] = model.FolderId(folder);
        return model.AddFileIn(folderIds[folderIndex], file, nullptr, set, master);
    };
    TKvFindFile finder;
    finder.KeptAway = KeptAwayFolders::fromOptions(settings.options);
    DuplicateScan scan;
    scan.collector.protection.enabled = settings.options.ProtectSystemFiles;
    DuplicateScanOptions options = DuplicateScanOptions::fromSettings(settings.duplicates);
    if (args.noCache) options.useHashCache = false;
    scan.run(finder, drives, options, compare);
    if (!scan.CacheMovedAside.isEmpty())
        std::fprintf(stderr, "clarivex-cli: the hash cache was damaged and was moved to %s\n",
                     QFile::encodeName(scan.CacheMovedAside).constData());

    if (scan.collector.ProtectedFoldersSkipped > 0)
        std::fprintf(stderr, "clarivex-cli: protected system folders skipped: %lld\n",
                     qlonglong(scan.collector.ProtectedFoldersSkipped));
    if (!references.isEmpty()) (void)markReferenceFolders(model, references); // a new list has none
    if (args.keep) (void)keepOnePerSet(model, *args.keep);
    if (args.clean && args.link)
        return linkDuplicates(model, *args.link, {args.dryRun, args.json, args.quiet});
    if (args.clean)
        return cleanDuplicates(model, settings.options, {args.dryRun, args.json, args.quiet});
    SetPrinter printer(model, args.json, args.quiet);
    printer.printAll();
    printer.totals(compare.FoundFileCount, compare.FoundByteTotal, compare.SetCount);
    if (args.map.isEmpty()) return ExitOk;
    // One colour per set.
    return writeScanMap(model, args.map, [](const FoundFileRow &row) -> std::optional<int> {
        return row.group >= 0 ? std::optional<int>(row.group) : std::nullopt;
    });
}

} // namespace

int runScanDuplicates(const QList<QByteArray> &args)
{
    QByteArray problem;
    const auto parsed = parse(args, problem);
    if (!parsed) return usageError(kUsage, problem);
    return scanDuplicates(*parsed);
}

} // namespace clarivex::cli
