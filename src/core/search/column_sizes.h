#pragma once

// The found-file list's column widths, kept in the settings store as the text
// value "Sizes" of the subkey "Columns": decimal widths joined by "," in column
// order, -2 meaning "fit the width to the header".

#include <QList>
#include <QString>

#include <optional>

namespace clarivex {

inline constexpr int kFitToHeader = -2;

[[nodiscard]] QString formatColumnSizes(const QList<int> &widths);
// Nothing for an empty text (keep the widths as designed). Otherwise one width
// per column: a bad number gives 0, columns past the end of the text get -2.
[[nodiscard]] std::optional<QList<int>> parseColumnSizes(const QString &text, int count);

class TFLSaveSettings
{
public:
    bool AutoSave = false;
    QString RegistryKey;
    bool SaveColumnSizes = true;

    // Both do nothing unless AutoSave and SaveColumnSizes are on and there is a column.
    void SaveColumns(int count, const QList<int> &widths) const;
    [[nodiscard]] bool LoadColumns(int count, QList<int> &widths) const;

private:
    [[nodiscard]] bool active(int count) const;
};

} // namespace clarivex
