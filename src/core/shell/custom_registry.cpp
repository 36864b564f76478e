#include "core/shell/custom_registry.h"

#include "core/shell/registry_database.h"

#include <QtEndian>

#include <cstring>

namespace clarivex {

namespace {

RegistryDatabase &db()
{
    return RegistryDatabase::instance();
}

bool isAbsolute(const QString &path)
{
    return path.startsWith(QLatin1Char('\\'));
}

QStringList partsOf(const QString &path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

[[noreturn]] void raise(const char *format, const QString &what)
{
    throw ERegistryException(QString::fromLatin1(format).arg(what));
}

// The same, followed by what the store said went wrong, if anything.
[[noreturn]] void raiseStore(const char *format, const QString &what)
{
    QString message = QString::fromLatin1(format).arg(what);
    const QString cause = db().lastError();
    if (!cause.isEmpty()) message += QStringLiteral(": ") + cause;
    throw ERegistryException(message);
}

QByteArray textData(const QString &text)
{
    // Text that would not survive the trip to UTF-8 and back is refused.
    if (!text.isValidUtf16())
        throw ERegistryException(QStringLiteral("The text is not valid Unicode"));
    QByteArray data = text.toUtf8();
    data.append('\0');
    return data;
}

QString decodeText(const RegistryValue &value)
{
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ)
        raise("Invalid data type for '%1'", value.name);
    const qsizetype nul = value.data.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? value.data : value.data.left(nul));
}

qint32 decodeNumber(const RegistryValue &value)
{
    if (value.type != REG_DWORD) raise("Invalid data type for '%1'", value.name);
    if (value.data.size() > 4) raise("Failed to get data for '%1'", value.name);
    unsigned char bytes[4] = {0, 0, 0, 0}; // a shorter value reads zero-extended
    std::memcpy(bytes, value.data.constData(), size_t(value.data.size()));
    return qFromLittleEndian<qint32>(bytes);
}

double decodeStamp(const RegistryValue &value)
{
    if (value.type != REG_BINARY) raise("Invalid data type for '%1'", value.name);
    if (value.data.size() > 8) raise("Failed to get data for '%1'", value.name);
    if (value.data.size() != 8) raise("Invalid data type for '%1'", value.name);
    return qFromLittleEndian<double>(value.data.constData());
}

QByteArray numberData(qint32 value)
{
    QByteArray data(4, Qt::Uninitialized);
    qToLittleEndian<qint32>(value, data.data());
    return data;
}

QByteArray stampData(double value)
{
    QByteArray data(8, Qt::Uninitialized);
    qToLittleEndian<double>(value, data.data());
    return data;
}

} // namespace

ERegistryException::ERegistryException(const QString &message)
    : std::runtime_error(message.toStdString())
{
}

// ---- TRegistry -----------------------------------------------------------------

TRegistry::TRegistry() = default;

TRegistry::~TRegistry()
{
    ClosePath();
}

void TRegistry::SetRoot(RegistryHive hive)
{
    if (hive == m_root) return;
    ClosePath();
    m_root = hive;
}

qint64 TRegistry::resolve(const QString &path) const
{
    const qint64 from =
        isAbsolute(path) || !m_currentKey ? RegistryDatabase::hiveKey(m_root) : m_currentKey;
    return db().findPath(from, partsOf(path));
}

bool TRegistry::KeyExists(const QString &path) const
{
    return resolve(path) != 0;
}

bool TRegistry::OpenPath(const QString &path, bool create)
{
    const bool absolute = isAbsolute(path);
    qint64 key = 0;
    if (create && !path.isEmpty()) {
        const qint64 from =
            absolute || !m_currentKey ? RegistryDatabase::hiveKey(m_root) : m_currentKey;
        key = db().createPath(from, partsOf(path));
    } else {
        key = resolve(path);
    }
    if (!key) return false;
    if (absolute)
        m_currentPath = path.mid(1);
    else if (m_currentKey)
        m_currentPath = m_currentPath + QLatin1Char('\\') + path;
    else
        m_currentPath = path;
    m_currentKey = key;
    return true;
}

void TRegistry::ClosePath()
{
    m_currentKey = 0;
    m_currentPath.clear();
}

std::optional<RegistryValue> TRegistry::ReadRaw(const QString &name) const
{
    if (!m_currentKey) return std::nullopt;
    return db().value(m_currentKey, name);
}

void TRegistry::WriteRaw(const QString &name, quint32 type, const QByteArray &data)
{
    if (!m_currentKey) raise("Failed to set data for '%1'", name);
    if (!db().setValue(m_currentKey, name, type, data))
        raiseStore("Failed to set data for '%1'", name);
}

bool TRegistry::HasValue(const QString &name) const
{
    return ReadRaw(name).has_value();
}

QString TRegistry::ReadText(const QString &name) const
{
    const auto value = ReadRaw(name);
    return value ? decodeText(*value) : QString();
}

void TRegistry::WriteText(const QString &name, const QString &text)
{
    WriteRaw(name, REG_SZ, textData(text));
}

qint32 TRegistry::ReadNumber(const QString &name) const
{
    const auto value = ReadRaw(name);
    if (!value) raise("Failed to get data for '%1'", name);
    return decodeNumber(*value);
}

void TRegistry::WriteNumber(const QString &name, qint32 value)
{
    WriteRaw(name, REG_DWORD, numberData(value));
}

double TRegistry::ReadStamp(const QString &name) const
{
    const auto value = ReadRaw(name);
    if (!value) raise("Failed to get data for '%1'", name);
    return decodeStamp(*value);
}

void TRegistry::WriteStamp(const QString &name, double value)
{
    WriteRaw(name, REG_BINARY, stampData(value));
}

void TRegistry::ListSubkeyNames(QStringList &list) const
{
    list.clear();
    if (m_currentKey) list = db().childNames(m_currentKey);
}

void TRegistry::ListValueNames(QStringList &list) const
{
    list.clear();
    if (!m_currentKey) return;
    for (const RegistryValue &value : db().values(m_currentKey))
        list << value.name;
}

bool TRegistry::DropKey(const QString &path)
{
    // The store removes a key with its whole subtree in one transaction, so no
    // subkey survives a key dropped halfway.
    const qint64 key = resolve(path);
    if (!key) return false;
    const auto outcome = db().deleteKey(key);
    if (outcome == RegistryDatabase::Outcome::Failed) raiseStore("Failed to delete key %1", path);
    return outcome == RegistryDatabase::Outcome::Done;
}

bool TRegistry::DropValue(const QString &name)
{
    if (!m_currentKey) return false;
    const auto outcome = db().deleteValue(m_currentKey, name);
    if (outcome == RegistryDatabase::Outcome::Failed) raiseStore("Failed to delete '%1'", name);
    return outcome == RegistryDatabase::Outcome::Done;
}

// ---- TRegIniFile ---------------------------------------------------------------

TRegIniFile::TRegIniFile(const QString &basePath, RegistryHive hive) : m_basePath(basePath)
{
    SetRoot(hive);
    (void)OpenPath(basePath, true); // a base that cannot be created reads as defaults
}

// Runs `read` with the section's key (0 when it cannot be opened); with create,
// the key is made first and a failure raises "Failed to create key".
template <typename Read>
auto TRegIniFile::withSection(const QString &section, bool create, Read read)
{
    // Without its base key (it could not be created) a relative section has
    // nothing to hang from: reads give defaults, writes fail.
    const bool reachable = currentKey() || isAbsolute(section);
    qint64 key = !reachable ? 0 : section.isEmpty() ? currentKey() : resolve(section);
    if (!key && create) {
        if (reachable) {
            const qint64 from =
                isAbsolute(section) ? RegistryDatabase::hiveKey(RootKey()) : currentKey();
            key = db().createPath(from, partsOf(section));
        }
        if (!key) raiseStore("Failed to create key %1", section.isEmpty() ? m_basePath : section);
    }
    return read(key);
}

QString TRegIniFile::ReadText(const QString &section, const QString &name,
                              const QString &defaultValue)
{
    return withSection(section, false, [&](qint64 key) {
        const auto value = key ? db().value(key, name) : std::nullopt;
        return value ? decodeText(*value) : defaultValue;
    });
}

void TRegIniFile::WriteText(const QString &section, const QString &name, const QString &text)
{
    withSection(section, true, [&](qint64 key) {
        if (!db().setValue(key, name, REG_SZ, textData(text)))
            raiseStore("Failed to set data for '%1'", name);
    });
}

QByteArray TRegIniFile::ReadTextBytes(const QString &section, const QString &name)
{
    return withSection(section, false, [&](qint64 key) {
        const auto value = key ? db().value(key, name) : std::nullopt;
        if (!value) return QByteArray();
        if (value->type != REG_SZ && value->type != REG_EXPAND_SZ)
            raise("Invalid data type for '%1'", value->name);
        const qsizetype nul = value->data.indexOf('\0');
        return nul < 0 ? value->data : value->data.left(nul);
    });
}

void TRegIniFile::WriteTextBytes(const QString &section, const QString &name,
                                 const QByteArray &bytes)
{
    withSection(section, true, [&](qint64 key) {
        QByteArray data = bytes;
        data.append('\0');
        if (!db().setValue(key, name, REG_SZ, data))
            raiseStore("Failed to set data for '%1'", name);
    });
}

qint32 TRegIniFile::ReadNumber(const QString &section, const QString &name, qint32 defaultValue)
{
    return withSection(section, false, [&](qint64 key) {
        const auto value = key ? db().value(key, name) : std::nullopt;
        return value ? decodeNumber(*value) : defaultValue;
    });
}

void TRegIniFile::WriteNumber(const QString &section, const QString &name, qint32 value)
{
    withSection(section, true, [&](qint64 key) {
        if (!db().setValue(key, name, REG_DWORD, numberData(value)))
            raiseStore("Failed to set data for '%1'", name);
    });
}

bool TRegIniFile::ReadFlag(const QString &section, const QString &name, bool defaultValue)
{
    return ReadNumber(section, name, defaultValue ? 1 : 0) != 0;
}

void TRegIniFile::WriteFlag(const QString &section, const QString &name, bool value)
{
    WriteNumber(section, name, value ? -1 : 0);
}

double TRegIniFile::ReadStamp(const QString &section, const QString &name, double defaultValue)
{
    return withSection(section, false, [&](qint64 key) {
        const auto value = key ? db().value(key, name) : std::nullopt;
        return value ? decodeStamp(*value) : defaultValue;
    });
}

void TRegIniFile::WriteStamp(const QString &section, const QString &name, double value)
{
    withSection(section, true, [&](qint64 key) {
        if (!db().setValue(key, name, REG_BINARY, stampData(value)))
            raiseStore("Failed to set data for '%1'", name);
    });
}

void TRegIniFile::ListValueNames(const QString &section, QStringList &list)
{
    withSection(section, false, [&](qint64 key) {
        if (!key) return; // the caller's list stays as it was
        list.clear();
        for (const RegistryValue &value : db().values(key))
            list << value.name;
    });
}

void TRegIniFile::ReadSectionPairs(const QString &section, QStringList &list)
{
    QStringList names;
    ListValueNames(section, names);
    for (const QString &name : names) {
        const QString text = ReadText(section, name, QString());
        const QString prefix = name + QLatin1Char('=');
        qsizetype index = -1;
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (list.at(i).startsWith(prefix, Qt::CaseInsensitive)) {
                index = i;
                break;
            }
        }
        if (text.isEmpty()) {
            if (index >= 0) list.removeAt(index);
        } else if (index >= 0) {
            list[index] = prefix + text;
        } else {
            list.append(prefix + text);
        }
    }
}

void TRegIniFile::DropSection(const QString &section)
{
    (void)DropKey(section);
}

} // namespace clarivex
