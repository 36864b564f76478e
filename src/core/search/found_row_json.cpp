#include "core/search/found_row_json.h"

#include "core/base/utf8_text.h"

#include <QDateTime>

namespace clarivex {

QString isoDateTime(qint64 nanoseconds)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(nanoseconds / 1000000);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QJsonObject foundRowJson(const FoundFileModel &model, int row)
{
    const QByteArray folder = model.FolderOf(row);
    const QByteArray name = model.NameOf(row).toByteArray();
    QJsonObject object{{"name", decodeWithReplacement(name)},
                       {"folder", decodeWithReplacement(folder)},
                       {"size", double(model.Row(row).size)},
                       {"modified", isoDateTime(model.Row(row).lastWriteTime)},
                       {"attributes", model.CellText(row, colAttributes)}};
    const QByteArray path = folder + name;
    if (!isValidUtf8(path)) object.insert("path_base64", QString::fromLatin1(path.toBase64()));
    const ScanRun &run = model.RunOfRow(row);
    object.insert("scan", scanOriginName(model.ScanOf(row)));
    object.insert("run", int(model.RunOf(row)));
    object.insert("trigger", runTriggerName(run.trigger));
    object.insert("run_began",
                  run.began.isValid()
                      ? run.began.toOffsetFromUtc(run.began.offsetFromUtc()).toString(Qt::ISODate)
                      : QString());
    if (model.Row(row).isDuplicate()) {
        object.insert("set", model.SetOf(row));
        object.insert("role",
                      model.IsMaster(row) ? QStringLiteral("master") : QStringLiteral("duplicate"));
    }
    return object;
}

} // namespace clarivex
