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
    QList<int> masters; // the master of each chosen row
    int master = -1;    // the row that opens the current set
    for (int row = 0; row < model.RowCount(); ++row) {
        if (model.IsSeparator(row)) {
            master = -1;
            continue;
        }
        if (master < 0) {
            master = row;
            continue;
        }
        chosen.append(row);
        masters.append(master);
    }
    // Compared with its master right before it goes, file by file.
    const auto lastLook = [&](qsizetype index, cleaning::FileIdentity &expected) {
        const int row = chosen[index];
        const int of = masters[index];
        const QByteArray path = model.FilePath(row);
        const DuplicateLook look =
            lookAtDuplicate(model.FilePath(of), cleaning::seenIdentity(model, of), path,
                            cleaning::seenIdentity(model, row));
        if (look.keepReason.isEmpty()) {
            expected = look.compared;
            return QString();
        }
        std::fprintf(stderr, "clarivex-cli: kept %s: %s\n", path.constData(),
                     look.keepReason.toUtf8().constData());
        std::fflush(stderr);
        return look.keepReason;
    };
    return cleanFoundRows(model, chosen, 0, options, request, lastLook);
}

} // namespace clarivex::cli
