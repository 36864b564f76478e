// clarivex-cli restore: puts the files of a zip backup back where they were,
// or below another folder, never overwriting a file; one line per file.

#include "cli/cli_command.h"
#include "core/cleaning/restore.h"

#include <optional>

namespace clarivex::cli {

namespace {

int runRestore(const QList<QByteArray> &args);

const CliCommand kRestore{
    "restore", "clarivex-cli restore ARCHIVE [--to FOLDER] [--dry-run]", runRestore,
    "Puts the files of a zip backup made by the \"Zip Files to folder:\" clean mode back\n"
    "where they were, or below FOLDER with --to. An existing file is never overwritten:\n"
    "the restored copy gets another name. One line per file; --dry-run only says what\n"
    "would be done. Exit status 1 when a file could not be restored.\n"};
const CliCommandRegistrar kRegistrar(kRestore);

std::optional<cleaning::RestoreOptions> parse(const QList<QByteArray> &args, QByteArray &archive,
                                              QByteArray &problem)
{
    cleaning::RestoreOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == "--dry-run") {
            options.dryRun = true;
        } else if (args[i] == "--to") {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                problem = "--to needs a folder";
                return std::nullopt;
            }
            options.toFolder = args[++i];
        } else if (args[i].startsWith("--") || !archive.isEmpty()) {
            problem = "unknown argument '" + args[i] + "'";
            return std::nullopt;
        } else {
            archive = args[i];
        }
    }
    if (archive.isEmpty()) {
        problem = "which archive?";
        return std::nullopt;
    }
    return options;
}

QByteArray lineFor(const cleaning::RestoredFile &file, bool dryRun)
{
    const QByteArray would = dryRun ? "would restore" : "restored";
    switch (file.fate) {
    case cleaning::RestoreFate::Restored:
        return would + ": " + file.target;
    case cleaning::RestoreFate::RestoredAs:
        return would + " as: " + file.target + " (kept " + file.wanted + ")";
    case cleaning::RestoreFate::Failed:
        break;
    }
    return "failed: " + file.wanted + ": " + file.reason.toUtf8();
}

int runRestore(const QList<QByteArray> &args)
{
    QByteArray archive;
    QByteArray problem;
    const std::optional<cleaning::RestoreOptions> options = parse(args, archive, problem);
    if (!options) return usageError(kRestore, problem);
    const cleaning::RestoreReport report = cleaning::restoreArchive(archive, *options);
    if (!report.archiveError.isEmpty())
        return failure(QString::fromLocal8Bit(archive) + QStringLiteral(": ") +
                       report.archiveError);
    for (const cleaning::RestoredFile &file : report.files)
        writeOut(lineFor(file, options->dryRun) + '\n');
    return report.allRestored() ? ExitOk : ExitFailed;
}

} // namespace

} // namespace clarivex::cli
