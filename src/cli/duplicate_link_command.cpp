#include "cli/duplicate_link_command.h"

#include "cli/cli_command.h"
#include "cli/text_encoding.h"
#include "core/base/formats.h"
#include "core/cleaning/clean_history.h"
#include "core/cleaning/clean_summary.h"
#include "core/scanners/duplicate_link_clean.h"
#include "core/search/found_file_model.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace clarivex::cli {

namespace {

void addPath(QJsonObject &object, const char *key, const QByteArray &path)
{
    object.insert(QLatin1String(key), decodeWithReplacement(path));
    if (!isValidUtf8(path))
        object.insert(QLatin1String(key) + QStringLiteral("_base64"),
                      QString::fromLatin1(path.toBase64()));
}

QByteArray outcomeLine(bool json, const QByteArray &word, const QByteArray &path,
                       const QByteArray &master, const QString &reason)
{
    if (json) {
        QJsonObject object{{"outcome", QString::fromUtf8(word)}};
        addPath(object, "path", path);
        if (!master.isEmpty()) addPath(object, "destination", master);
        if (!reason.isEmpty()) object.insert("reason", reason);
        return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
    QByteArray line = word + ": " + path;
    if (!master.isEmpty()) line += " -> " + master;
    if (!reason.isEmpty()) line += " (" + reason.toUtf8() + ')';
    return line + '\n';
}

} // namespace

int linkDuplicates(const FoundFileModel &model, cleaning::LinkKind kind,
                   const CleanRequest &request)
{
    DuplicateLinkClean clean;
    clean.kind = kind;
    clean.dryRun = request.dryRun;
    std::optional<cleaning::CleanHistory> history;
    std::optional<cleaning::CleanRecorder> recorder;
    if (!request.dryRun) {
        history.emplace();
        recorder.emplace(*history, cleaning::CleanTrigger::Cli);
        clean.recorder = &*recorder;
    }
    const LinkCleanReport report = clean.run(model, cleaning::CleanChoice::all());
    if (recorder) recorder->finish();

    QByteArray out;
    for (int row : report.kept) {
        const QString reason = model.IsReference(row)
                                   ? QString::fromLatin1(cleaning::kKeptReference)
                                   : QStringLiteral("the last copy of its duplicate set");
        std::fprintf(stderr, "clarivex-cli: kept %s: %s\n", model.FilePath(row).constData(),
                     reason.toUtf8().constData());
    }
    const QByteArray done = request.dryRun ? "would link" : "linked";
    for (qsizetype k = 0; k < report.jobs.size(); ++k) {
        const cleaning::LinkRequest &job = report.jobs[k].request;
        const cleaning::LinkResult &result = report.results[k];
        const bool good = request.dryRun ? result.reason.isEmpty() : result.replaced;
        out += good ? outcomeLine(request.json, done, job.duplicate, job.master, {})
                    : outcomeLine(request.json, result.refused ? "kept" : "failed", job.duplicate,
                                  {}, result.reason);
    }
    qsizetype good = 0;
    for (qsizetype k = 0; k < report.results.size(); ++k)
        good += request.dryRun ? report.results[k].reason.isEmpty() : report.results[k].replaced;
    if (!request.quiet) {
        if (request.json) {
            const QJsonObject object{{request.dryRun ? "would_link" : "linked", double(good)},
                                     {"files", double(report.jobs.size() + report.kept.size())},
                                     {"bytes_freed", double(report.bytesFreed)}};
            out += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
        } else {
            out += (request.dryRun ? "Would link: " : "Linked: ") + QByteArray::number(good) +
                   " of " + QByteArray::number(report.jobs.size() + report.kept.size()) + " files";
            if (!request.dryRun)
                out += ", " + formatGrouped(report.bytesFreed).toUtf8() + " bytes freed";
            out += '\n';
        }
    }
    writeOut(out);
    if (recorder && !recorder->error().isEmpty()) (void)failure(recorder->error());
    return good == report.jobs.size() && report.kept.isEmpty() ? ExitOk : ExitFailed;
}

} // namespace clarivex::cli
