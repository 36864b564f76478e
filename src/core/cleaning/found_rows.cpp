#include "core/cleaning/found_rows.h"

#include "core/search/found_file_model.h"

namespace clarivex::cleaning {

FileIdentity seenIdentity(const FoundFileModel &model, int row)
{
    const FoundFileRow &facts = model.Row(row);
    FileIdentity seen;
    seen.device = model.DeviceOf(row);
    seen.inode = seen.device != 0 ? ino_t(facts.inode) : 0; // no device: no inode either
    seen.kind = facts.symlink ? FileKind::Symlink : FileKind::Regular;
    seen.size = facts.size;
    seen.modified = facts.lastWriteTime;
    return seen;
}

QList<CleanRow> cleanRowsOf(const FoundFileModel &model, const QList<int> &rows)
{
    QList<CleanRow> cleanRows;
    cleanRows.reserve(rows.size());
    for (int row : rows) {
        if (!model.IsSeparator(row))
            cleanRows.append({model.FilePath(row), seenIdentity(model, row)});
    }
    return cleanRows;
}

} // namespace clarivex::cleaning
