#include "cli/found_rows_printer.h"

#include "cli/cli_command.h"
#include "cli/text_encoding.h"
#include "core/base/formats.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace clarivex::cli {

QString isoDateTime(qint64 nanoseconds)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(nanoseconds / 1000000);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

FoundRowsPrinter::FoundRowsPrinter(const FoundFileModel &model, bool json, QString extraName,
                                   std::function<QString(int row)> extra)
    : m_model(model), m_json(json), m_extraName(std::move(extraName)), m_extra(std::move(extra))
{
}

void FoundRowsPrinter::print(int row)
{
    const QByteArray folder = m_model.FolderOf(row);
    const QByteArray name = m_model.NameOf(row).toByteArray();
    const FoundFileRow &facts = m_model.Row(row);
    const QString modified = m_model.CellText(row, colModified);
    const QString attributes = m_model.CellText(row, colAttributes);
    const QString extra = m_extra ? m_extra(row) : QString();
    if (m_json) {
        QJsonObject object{{"name", decodeWithReplacement(name)},
                           {"folder", decodeWithReplacement(folder)},
                           {"size", double(facts.size)},
                           {"modified", isoDateTime(facts.lastWriteTime)},
                           {"attributes", attributes}};
        if (!m_extraName.isEmpty()) object.insert(m_extraName, extra);
        const QByteArray path = folder + name;
        if (!isValidUtf8(path)) object.insert("path_base64", QString::fromLatin1(path.toBase64()));
        m_out += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    } else {
        m_out += name + '\t' + folder + '\t' + QByteArray::number(facts.size) + '\t' +
                 modified.toUtf8() + '\t' + attributes.toUtf8();
        if (!m_extraName.isEmpty()) m_out += '\t' + extra.toUtf8();
        m_out += '\n';
    }
    if (m_out.size() > 256 * 1024) flush();
}

void FoundRowsPrinter::totals(qint64 files, qint64 bytes)
{
    if (!m_json && !quiet)
        m_out += "Files: " + formatGrouped(files).toUtf8() +
                 "\tBytes: " + formatGrouped(bytes).toUtf8() + '\n';
    flush();
}

void FoundRowsPrinter::flush()
{
    writeOut(m_out);
    m_out.clear();
}

} // namespace clarivex::cli
