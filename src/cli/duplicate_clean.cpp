#include "cli/duplicate_clean.h"

#include "core/cleaning/found_rows.h"
#include "core/scanners/duplicate_recheck.h"
#include "core/search/found_file_model.h"

#include <cstdio>

namespace clarivex::cli {

int cleanDuplicates(const FoundFileModel &model, const GeneralOptions &options,
                    const CleanRequest &request)
{
    QList<int> chosen;
    qsizetype kept = 0;
    int master = -1; // the row that opens the current set
    for (int row = 0; row < model.RowCount(); ++row) {
        if (model.IsSeparator(row)) {
            master = -1;
            continue;
        }
        if (master < 0) {
            master = row;
            continue;
        }
        const QByteArray path = model.FilePath(row);
        const QString reason =
            duplicateKeepReason(model.FilePath(master), cleaning::seenIdentity(model, master), path,
                                cleaning::seenIdentity(model, row));
        if (reason.isEmpty()) {
            chosen.append(row);
            continue;
        }
        ++kept;
        std::fprintf(stderr, "clarivex-cli: kept %s: %s\n", path.constData(),
                     reason.toUtf8().constData());
    }
    std::fflush(stderr);
    return cleanFoundRows(model, chosen, kept, options, request);
}

} // namespace clarivex::cli
