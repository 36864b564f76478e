#pragma once

// The rows of a found-file list on stdout, as clarivex-cli's scans print them:
// one tab-separated line per row (name, folder, size, modified, attributes,
// then the scan's own column) and the totals line after them (not with
// --quiet); or, with --json, one JSON object per row, times in ISO 8601, and
// a last object with the totals. A path that is not UTF-8 also travels as
// base64 in JSON.

#include "core/search/found_file_model.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace clarivex::cli {

// The totals after a scan's rows: "Files: N<TAB>Bytes: N" (and "<TAB>Sets: N"
// for duplicates) as a line, or with `json` as one object with the same keys.
[[nodiscard]] QByteArray totalsText(bool json, qint64 files, qint64 bytes,
                                    std::optional<qint64> sets = std::nullopt);

class FoundRowsPrinter
{
public:
    // `extraName` is the JSON key of the scan's own column ("target"), and
    // `extra` gives its text for a row.
    FoundRowsPrinter(const FoundFileModel &model, bool json, QString extraName = {},
                     std::function<QString(int row)> extra = {});
    bool quiet = false; // no totals line

    void print(int row);
    void totals(qint64 files, qint64 bytes);
    void flush();

private:
    const FoundFileModel &m_model;
    bool m_json;
    QString m_extraName;
    std::function<QString(int row)> m_extra;
    QByteArray m_out;
};

} // namespace clarivex::cli
