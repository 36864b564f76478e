#include "cli/duplicate_clean.h"

#include "core/cleaning/clean_selection.h"
#include "core/cleaning/found_rows.h"
#include "core/scanners/duplicate_recheck.h"
#include "core/search/found_file_model.h"

#include <QHash>

#include <cstdio>

namespace clarivex::cli {

namespace {

void reportKept(const QByteArray &path, const QString &reason)
{
    std::fprintf(stderr, "clarivex-cli: kept %s: %s\n", path.constData(),
                 reason.toUtf8().constData());
}

} // namespace

int cleanDuplicates(const FoundFileModel &model, const GeneralOptions &options,
                    const CleanRequest &request)
{
    // The rows "Clean All" takes in the window: every duplicate, no master,
    // never a set's last copy.
    const cleaning::CleanSelection selection =
        cleaning::selectRowsToClean(model, cleaning::CleanChoice::all());
    // Each duplicate is compared with its set's master: the copy that stays
    // (the set's first row, where its master could not be listed).
    QHash<int, int> masters; // set -> the row of the copy that stays
    for (int row = 0; row < model.RowCount(); ++row) {
        const int set = model.SetOf(row);
        if (set >= 0 && (model.IsMaster(row) || !masters.contains(set))) masters.insert(set, row);
    }
    QList<int> chosen;
    qsizetype kept = 0;
    for (int row : selection.keptLastCopy) {
        ++kept;
        reportKept(model.FilePath(row), QStringLiteral("the last copy of its duplicate set"));
    }
    for (int row : selection.keptReferences) {
        ++kept;
        reportKept(model.FilePath(row), QStringLiteral("in a reference folder"));
    }
    for (int row : selection.rows) {
        const int master = masters.value(model.SetOf(row), -1);
        if (master != row) chosen.append(row);
    }
    // Compared with its master right before it goes, file by file (not once
    // for all before the first one goes: a master changed meanwhile would
    // lose the only copy).
    const auto lastLook = [&](qsizetype index, cleaning::FileIdentity &expected) {
        const int row = chosen[index];
        const int master = masters.value(model.SetOf(row), -1);
        if (master < 0) return QString();
        const QByteArray path = model.FilePath(row);
        const DuplicateLook look =
            lookAtDuplicate(model.FilePath(master), cleaning::seenIdentity(model, master), path,
                            cleaning::seenIdentity(model, row));
        if (look.keepReason.isEmpty()) {
            expected = look.compared;
            return QString();
        }
        reportKept(path, look.keepReason);
        std::fflush(stderr);
        return look.keepReason;
    };
    return cleanFoundRows(model, chosen, kept, options, request, lastLook);
}

} // namespace clarivex::cli
