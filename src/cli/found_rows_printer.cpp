#include "cli/found_rows_printer.h"

#include "cli/cli_command.h"
#include "core/base/formats.h"
#include "core/search/found_row_json.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace clarivex::cli {

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
        QJsonObject object = foundRowJson(m_model, row);
        if (!m_extraName.isEmpty()) object.insert(m_extraName, extra);
        m_out += QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    } else {
        m_out += name + '\t' + folder + '\t' + QByteArray::number(facts.size) + '\t' +
                 modified.toUtf8() + '\t' + attributes.toUtf8();
        if (!m_extraName.isEmpty()) m_out += '\t' + extra.toUtf8();
        m_out += '\n';
    }
    if (m_out.size() > 256 * 1024) flush();
}

QByteArray totalsText(bool json, qint64 files, qint64 bytes, std::optional<qint64> sets)
{
    if (json) {
        QJsonObject object{{"files", double(files)}, {"bytes", double(bytes)}};
        if (sets) object.insert("sets", double(*sets));
        return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
    QByteArray line =
        "Files: " + formatGrouped(files).toUtf8() + "\tBytes: " + formatGrouped(bytes).toUtf8();
    if (sets) line += "\tSets: " + formatGrouped(*sets).toUtf8();
    return line + '\n';
}

void FoundRowsPrinter::totals(qint64 files, qint64 bytes)
{
    if (!quiet) m_out += totalsText(m_json, files, bytes);
    flush();
}

void FoundRowsPrinter::flush()
{
    writeOut(m_out);
    m_out.clear();
}

} // namespace clarivex::cli
