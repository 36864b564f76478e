#include "core/search/found_row_json.h"

#include "core/base/utf8_text.h"

namespace clarivex {

QJsonObject foundRowJson(const FoundFileModel &model, int row)
{
    const QByteArray folder = model.FolderOf(row);
    const QByteArray name = model.NameOf(row).toByteArray();
    QJsonObject object{{"name", decodeWithReplacement(name)},
                       {"folder", decodeWithReplacement(folder)},
                       {"size", double(model.Row(row).size)},
                       {"modified", model.CellText(row, colModified)},
                       {"attributes", model.CellText(row, colAttributes)}};
    const QByteArray path = folder + name;
    if (!isValidUtf8(path)) object.insert("path_base64", QString::fromLatin1(path.toBase64()));
    return object;
}

} // namespace clarivex
