#include "cli/reg_format.h"

#include "cli/text_encoding.h"

#include "core/shell/registry_database.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <vector>

namespace clarivex::cli {

std::optional<RegistryKeyName> parseKeyName(const QString &text)
{
    const qsizetype slash = text.indexOf(QLatin1Char('\\'));
    const QString hive = (slash < 0 ? text : text.left(slash)).toUpper();
    RegistryKeyName name;
    if (hive == QLatin1String("HKCU") || hive == QLatin1String("HKEY_CURRENT_USER")) {
        name.hive = RegistryHive::CurrentUser;
        name.display = QStringLiteral("HKEY_CURRENT_USER");
    } else if (hive == QLatin1String("HKLM") || hive == QLatin1String("HKEY_LOCAL_MACHINE")) {
        name.hive = RegistryHive::LocalMachine;
        name.display = QStringLiteral("HKEY_LOCAL_MACHINE");
    } else {
        return std::nullopt;
    }
    const QStringList parts =
        (slash < 0 ? QString() : text.mid(slash + 1)).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    name.path = parts.join(QLatin1Char('\\'));
    if (!name.path.isEmpty()) name.display += QLatin1Char('\\') + name.path;
    return name;
}

QString typeName(quint32 type)
{
    switch (type) {
    case REG_NONE:
        return QStringLiteral("REG_NONE");
    case REG_SZ:
        return QStringLiteral("REG_SZ");
    case REG_EXPAND_SZ:
        return QStringLiteral("REG_EXPAND_SZ");
    case REG_BINARY:
        return QStringLiteral("REG_BINARY");
    case REG_DWORD:
        return QStringLiteral("REG_DWORD");
    case REG_MULTI_SZ:
        return QStringLiteral("REG_MULTI_SZ");
    default:
        return QStringLiteral("REG_TYPE_%1").arg(type);
    }
}

namespace {
QString hexBytes(const QByteArray &data, QChar separator)
{
    QString out;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i) out += separator;
        out += QStringLiteral("%1").arg(uchar(data.at(i)), 2, 16, QLatin1Char('0'));
    }
    return out;
}

QString printable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
} // namespace

QString formatValue(const RegistryValue &value)
{
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        const qsizetype nul = value.data.indexOf('\0');
        return printable(QString::fromUtf8(nul < 0 ? value.data : value.data.left(nul)));
    }
    if (value.type == REG_DWORD && value.data.size() == 4)
        return QString::number(qFromLittleEndian<qint32>(value.data.constData()));
    return hexBytes(value.data, QLatin1Char(' '));
}

namespace {
QString quoted(const QString &text)
{
    QString escaped = printable(text);
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString exportValue(const RegistryValue &value)
{
    const QString name = value.name.isEmpty() ? QStringLiteral("@") : quoted(value.name);
    if (value.type == REG_SZ) {
        const qsizetype nul = value.data.indexOf('\0');
        return name + QLatin1Char('=') +
               quoted(QString::fromUtf8(nul < 0 ? value.data : value.data.left(nul)));
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        const quint32 n = qFromLittleEndian<quint32>(value.data.constData());
        return name + QStringLiteral("=dword:%1").arg(n, 8, 16, QLatin1Char('0'));
    }
    const QString kind = value.type == REG_BINARY
                             ? QStringLiteral("hex")
                             : QStringLiteral("hex(%1)").arg(value.type, 0, 16);
    return name + QLatin1Char('=') + kind + QLatin1Char(':') +
           hexBytes(value.data, QLatin1Char(','));
}
} // namespace

void exportTree(const TRegistry &registry, const QString &displayPath,
                const std::function<void(const QString &section)> &out)
{
    RegistryDatabase &db = RegistryDatabase::instance();
    const auto section = [&](qint64 key, const QString &path) {
        QString text = QLatin1Char('[') + path + QStringLiteral("]\n");
        for (const RegistryValue &value : db.values(key))
            text += exportValue(value) + QLatin1Char('\n');
        out(text + QLatin1Char('\n'));
    };
    // Depth first without recursion: one list of unvisited subkeys per level.
    struct Level
    {
        QList<std::pair<qint64, QString>> children;
        qsizetype next = 0;
        qsizetype pathSize = 0;
    };
    QString path = displayPath;
    std::vector<Level> levels;
    section(registry.CurrentKeyId(), path);
    levels.push_back({db.children(registry.CurrentKeyId()), 0, path.size()});
    while (!levels.empty()) {
        Level &level = levels.back();
        if (level.next >= level.children.size()) {
            levels.pop_back();
            continue;
        }
        const auto [key, name] = level.children.at(level.next++);
        path.truncate(level.pathSize);
        path += QLatin1Char('\\') + name;
        section(key, path);
        levels.push_back({db.children(key), 0, path.size()});
    }
}

QString escapeField(const QString &text)
{
    return QString::fromUtf8(escapeFieldBytes(text.toUtf8()));
}

namespace {
QString textOf(const RegistryValue &value)
{
    const qsizetype nul = value.data.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? value.data : value.data.left(nul));
}

bool isText(const RegistryValue &value)
{
    return value.type == REG_SZ || value.type == REG_EXPAND_SZ;
}
} // namespace

QByteArray listText(const QStringList &subkeys, const QList<RegistryValue> &values)
{
    QString out;
    for (const QString &name : subkeys)
        out += escapeField(name) + QLatin1Char('\n');
    for (const RegistryValue &value : values) {
        const QString shown = isText(value) ? escapeField(textOf(value)) : formatValue(value);
        out += escapeField(value.name) + QLatin1Char('\t') + typeName(value.type) +
               QLatin1Char('\t') + shown + QLatin1Char('\n');
    }
    return out.toUtf8();
}

QByteArray listJson(const QStringList &subkeys, const QList<RegistryValue> &values)
{
    QJsonArray valueArray;
    for (const RegistryValue &value : values) {
        QJsonObject object{{"name", value.name}, {"type", typeName(value.type)}};
        if (isText(value))
            object.insert("value", textOf(value));
        else if (value.type == REG_DWORD && value.data.size() == 4)
            object.insert("value", qFromLittleEndian<qint32>(value.data.constData()));
        else
            object.insert("value", QString::fromLatin1(value.data.toHex(' ')));
        valueArray.append(object);
    }
    const QJsonObject root{{"subkeys", QJsonArray::fromStringList(subkeys)},
                           {"values", valueArray}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace clarivex::cli
