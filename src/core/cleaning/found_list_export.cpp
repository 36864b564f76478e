#include "core/cleaning/found_list_export.h"

#include "core/search/found_row_json.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QSaveFile>

namespace clarivex::cleaning {

namespace {

const QStringList kCommonKeys{
    QStringLiteral("name"),     QStringLiteral("folder"),     QStringLiteral("size"),
    QStringLiteral("modified"), QStringLiteral("attributes"), QStringLiteral("scan"),
    QStringLiteral("run"),      QStringLiteral("trigger"),    QStringLiteral("run_began"),
    QStringLiteral("set"),      QStringLiteral("role")};
const QString kPathBase64 = QStringLiteral("path_base64");

QJsonObject rowObject(const FoundFileModel &model, int row, const QList<ListExportField> &extras)
{
    QJsonObject object = foundRowJson(model, row);
    for (const ListExportField &field : extras)
        object.insert(field.key, field.value ? field.value(row) : QJsonValue(QString()));
    return object;
}

QString csvText(const QJsonValue &value)
{
    if (value.isDouble()) return QString::number(qint64(value.toDouble()));
    if (value.isBool()) return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return value.toString();
}

QByteArray csvHeader(const QList<ListExportField> &extras)
{
    QStringList keys = kCommonKeys;
    for (const ListExportField &field : extras)
        keys << field.key;
    keys << kPathBase64;
    QByteArray line;
    for (const QString &key : std::as_const(keys))
        line += (line.isEmpty() ? "" : ",") + csvField(key);
    return line + "\r\n";
}

QByteArray csvRow(const QJsonObject &object, const QList<ListExportField> &extras)
{
    QByteArray line;
    const auto add = [&](const QString &key) {
        line += (line.isEmpty() ? "" : ",") + csvField(csvText(object.value(key)));
    };
    for (const QString &key : kCommonKeys)
        add(key);
    for (const ListExportField &field : extras)
        add(field.key);
    add(kPathBase64);
    return line + "\r\n";
}

} // namespace

ListExportFormat exportFormatFor(const QString &fileName)
{
    return fileName.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive) ? ListExportFormat::Json
                                                                           : ListExportFormat::Csv;
}

QByteArray csvField(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') &&
        !bytes.contains('\r'))
        return bytes;
    QByteArray quoted = bytes;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

bool writeFoundList(QIODevice &out, ListExportFormat format, const FoundFileModel &model,
                    const QList<ListExportField> &extras)
{
    const bool json = format == ListExportFormat::Json;
    QByteArray buffer = json ? QByteArray("[") : csvHeader(extras);
    bool first = true;
    for (int row = 0; row < model.RowCount(); ++row) {
        if (model.IsSeparator(row)) continue;
        const QJsonObject object = rowObject(model, row, extras);
        if (json) {
            buffer += (first ? "\n" : ",\n") + QJsonDocument(object).toJson(QJsonDocument::Compact);
        } else {
            buffer += csvRow(object, extras);
        }
        first = false;
        if (buffer.size() > 256 * 1024) {
            if (out.write(buffer) != buffer.size()) return false;
            buffer.clear();
        }
    }
    if (json) buffer += "\n]\n";
    return out.write(buffer) == buffer.size();
}

bool saveFoundList(const QString &fileName, ListExportFormat format, const FoundFileModel &model,
                   const QList<ListExportField> &extras, QString &error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    if (!writeFoundList(file, format, model, extras)) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

} // namespace clarivex::cleaning
