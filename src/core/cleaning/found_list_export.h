#pragma once

// The found-file list saved as a file: CSV (a header row, then one row per
// file, UTF-8) or JSON (an array of the objects clarivex-cli's --json prints).
// Separator rows are no files and are left out. Both forms carry the same
// fields; in CSV, "path_base64" is empty for a path that is UTF-8, and "set"
// and "role" for a row that is no duplicate.

#include "core/search/found_file_model.h"

#include <QJsonValue>
#include <QList>
#include <QString>

#include <functional>

class QIODevice;

namespace clarivex::cleaning {

enum class ListExportFormat { Csv, Json };

// A field beside the common ones: the file group of a temporary-file scan,
// the set and role of a duplicate.
struct ListExportField
{
    QString key;
    std::function<QJsonValue(int row)> value;
};

// JSON for a name ending in ".json" (any case), else CSV.
[[nodiscard]] ListExportFormat exportFormatFor(const QString &fileName);

// One CSV field, quoted when it holds a comma, a quote or a line end.
[[nodiscard]] QByteArray csvField(const QString &text);

// Writes the rows in list order; false when the device refuses a write.
[[nodiscard]] bool writeFoundList(QIODevice &out, ListExportFormat format,
                                  const FoundFileModel &model,
                                  const QList<ListExportField> &extras = {});

// The whole file, replaced only once it is complete; false with `error`.
[[nodiscard]] bool saveFoundList(const QString &fileName, ListExportFormat format,
                                 const FoundFileModel &model, const QList<ListExportField> &extras,
                                 QString &error);

} // namespace clarivex::cleaning
