#include "cli/scan_clean.h"

#include "cli/cli_command.h"
#include "cli/text_encoding.h"
#include "core/cleaning/clean_operation.h"
#include "core/cleaning/clean_selection.h"
#include "core/cleaning/found_rows.h"
#include "core/search/found_file_model.h"

#include <QDate>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace clarivex::cli {

namespace {

using cleaning::CleanMode;
using cleaning::RowFate;

QByteArray cleanedWord(CleanMode mode, bool dryRun)
{
    static const char *const kDone[] = {"trashed", "deleted", "moved", "zipped"};
    static const char *const kWould[] = {"would trash", "would delete", "would move", "would zip"};
    return (dryRun ? kWould : kDone)[int(mode)];
}

QByteArray refusedWord(RowFate fate)
{
    switch (fate) {
    case RowFate::InUse:
        return "in use, kept";
    case RowFate::Changed:
        return "changed since the scan, kept";
    case RowFate::Protected:
        return "protected, kept";
    case RowFate::Failed:
        return "failed";
    case RowFate::Kept:
        return "kept";
    case RowFate::Cleaned:
    case RowFate::NotDone:
        break;
    }
    return "not cleaned";
}

// Where a file would go in a dry run.
QByteArray plannedDestination(CleanMode mode, const GeneralOptions &options)
{
    switch (mode) {
    case CleanMode::MoveToFolder:
        return cleaning::backupFolder(QFile::encodeName(options.MoveFolderPath));
    case CleanMode::ZipToFolder:
        return cleaning::archivePath(cleaning::backupFolder(QFile::encodeName(options.ZipFileName)),
                                     QDate::currentDate());
    default:
        break;
    }
    return {};
}

class OutcomePrinter
{
public:
    OutcomePrinter(bool json, bool quiet) : m_json(json), m_quiet(quiet) {}

    void line(const QByteArray &word, const QByteArray &path, const QByteArray &destination,
              const QString &reason)
    {
        if (m_json) {
            QJsonObject object{{"outcome", QString::fromUtf8(word)},
                               {"path", decodeWithReplacement(path)}};
            if (!isValidUtf8(path))
                object.insert("path_base64", QString::fromLatin1(path.toBase64()));
            if (!destination.isEmpty())
                object.insert("destination", decodeWithReplacement(destination));
            if (!reason.isEmpty()) object.insert("reason", reason);
            m_out += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
        } else {
            m_out += word + ": " + path;
            if (!destination.isEmpty()) m_out += " -> " + destination;
            if (!reason.isEmpty()) m_out += " (" + reason.toUtf8() + ')';
            m_out += '\n';
        }
        if (m_out.size() > 256 * 1024) flush();
    }

    void summary(bool dryRun, qsizetype cleaned, qsizetype files)
    {
        if (m_quiet) {
        } else if (m_json) {
            const QJsonObject object{{dryRun ? "would_clean" : "cleaned", double(cleaned)},
                                     {"files", double(files)}};
            m_out += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
        } else {
            m_out += (dryRun ? "Would clean: " : "Cleaned: ") + QByteArray::number(cleaned) +
                     " of " + QByteArray::number(files) + " files\n";
        }
        flush();
    }

    void flush()
    {
        writeOut(m_out);
        m_out.clear();
    }

private:
    bool m_json;
    bool m_quiet;
    QByteArray m_out;
};

} // namespace

int cleanFound(const FoundFileModel &model, const GeneralOptions &options,
               const CleanRequest &request)
{
    // As the automatic clean after a scan: what this scan found in this run.
    const cleaning::CleanSelection selection = cleaning::selectRowsToClean(
        model, cleaning::CleanChoice::automatic(model.CurrentScan(), model.CurrentRun()));
    return cleanFoundRows(model, selection.rows, 0, options, request);
}

int cleanFoundRows(const FoundFileModel &model, const QList<int> &rowsToClean, qsizetype keptBefore,
                   const GeneralOptions &options, const CleanRequest &request)
{
    const QList<cleaning::CleanRow> rows = cleaning::cleanRowsOf(model, rowsToClean);
    cleaning::SystemProtection protection;
    protection.enabled = options.ProtectSystemFiles;
    cleaning::CleanOperation clean(protection, {}); // nobody to ask: nothing is asked
    cleaning::CleanSettings settings;
    settings.DeleteType = options.DeleteType <= 3 ? options.DeleteType : 0;
    settings.MoveFolderPath = QFile::encodeName(options.MoveFolderPath);
    settings.ZipFileName = QFile::encodeName(options.ZipFileName);
    settings.ConfirmDelete = false;
    settings.AutoCleaning = true;
    const CleanMode mode = CleanMode(settings.DeleteType);
    const cleaning::CleanReport report =
        request.dryRun ? clean.check(rows) : clean.run(rows, settings);

    OutcomePrinter printer(request.json, request.quiet);
    const QByteArray planned = request.dryRun ? plannedDestination(mode, options) : QByteArray();
    qsizetype cleaned = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const cleaning::RowOutcome &outcome = report.rows[i];
        const bool good =
            request.dryRun ? outcome.fate == RowFate::NotDone : outcome.fate == RowFate::Cleaned;
        if (good) {
            ++cleaned;
            const QByteArray destination = request.dryRun ? planned : outcome.destination;
            printer.line(cleanedWord(mode, request.dryRun), rows[i].path, destination, {});
        } else {
            printer.line(refusedWord(outcome.fate), rows[i].path, {}, outcome.reason);
        }
    }
    printer.summary(request.dryRun, cleaned, rows.size() + keptBefore);
    return cleaned == rows.size() && keptBefore == 0 ? ExitOk : ExitFailed;
}

} // namespace clarivex::cli
