#pragma once

// The settings store: a registry of keys and typed values, kept in one SQLite
// database that holds both hives (see registry_database.h). `TRegistry` works
// on keys, `TRegIniFile` treats a base key like an INI file whose sections are
// subkeys. Stored forms, shared by every program that reads the store:
//   text       REG_SZ     UTF-8 bytes followed by one NUL
//   integer    REG_DWORD  4 bytes, little-endian, signed
//   flag       REG_DWORD  0 or 0xFFFFFFFF; any non-zero number reads as true
//   date/time  REG_BINARY 8 bytes, a little-endian double (days from 1899-12-30)
// Paths use "\" between keys; a path that begins with "\" is absolute.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace clarivex {

enum class RegistryHive { CurrentUser, LocalMachine };

enum RegistryType : quint32 {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_MULTI_SZ = 7,
};

// The error of the settings store; what() and message() carry one formatted message.
class ERegistryException : public std::runtime_error
{
public:
    explicit ERegistryException(const QString &message);
    QString message() const { return QString::fromUtf8(what()); }
};

struct RegistryValue
{
    QString name;
    quint32 type = REG_NONE;
    QByteArray data;
};

class TRegistry
{
public:
    TRegistry();
    virtual ~TRegistry();
    TRegistry(const TRegistry &) = delete;
    TRegistry &operator=(const TRegistry &) = delete;

    RegistryHive RootKey() const { return m_root; }
    // No effect for the current root; otherwise closes the current key and switches.
    void SetRoot(RegistryHive hive);

    // Opens (with create: creates or opens) the key; on success it becomes the current key.
    [[nodiscard]] bool OpenPath(const QString &path, bool create);
    void ClosePath();
    bool HasCurrentKey() const { return m_currentKey != 0; }
    QString CurrentPath() const { return m_currentPath; }
    // The store's id of the current key (0: none), for walks over a subtree.
    qint64 CurrentKeyId() const { return m_currentKey; }
    // True when the key at the path exists (same path rules as OpenPath); opens nothing.
    [[nodiscard]] bool KeyExists(const QString &path) const;

    [[nodiscard]] bool HasValue(const QString &name) const;
    [[nodiscard]] QString ReadText(const QString &name) const;
    void WriteText(const QString &name, const QString &text);
    [[nodiscard]] qint32 ReadNumber(const QString &name) const;
    void WriteNumber(const QString &name, qint32 value);
    [[nodiscard]] double ReadStamp(const QString &name) const;
    void WriteStamp(const QString &name, double value);

    void ListSubkeyNames(QStringList &list) const; // sorted by name
    void ListValueNames(QStringList &list) const;  // creation order
    bool DropKey(const QString &path);
    bool DropValue(const QString &name);

    // The value as stored, or nothing when it does not exist (no current key: nothing).
    [[nodiscard]] std::optional<RegistryValue> ReadRaw(const QString &name) const;
    void WriteRaw(const QString &name, quint32 type, const QByteArray &data);

protected:
    // The key a path leads to, from the current key or the root; 0 when missing.
    qint64 resolve(const QString &path) const;
    qint64 currentKey() const { return m_currentKey; }

private:
    RegistryHive m_root = RegistryHive::CurrentUser;
    qint64 m_currentKey = 0;
    QString m_currentPath;
};

class TRegIniFile : public TRegistry
{
public:
    explicit TRegIniFile(const QString &basePath, RegistryHive hive = RegistryHive::CurrentUser);

    QString BasePath() const { return m_basePath; }

    using TRegistry::ListValueNames;
    using TRegistry::ReadNumber;
    using TRegistry::ReadStamp;
    using TRegistry::ReadText;
    using TRegistry::WriteNumber;
    using TRegistry::WriteStamp;
    using TRegistry::WriteText;

    [[nodiscard]] QString ReadText(const QString &section, const QString &name,
                                   const QString &defaultValue);
    void WriteText(const QString &section, const QString &name, const QString &text);
    // An 8-bit text stored byte for byte (REG_SZ, its bytes and a NUL): up to
    // its first NUL, empty when missing; a value of another kind raises.
    [[nodiscard]] QByteArray ReadTextBytes(const QString &section, const QString &name);
    void WriteTextBytes(const QString &section, const QString &name, const QByteArray &bytes);
    [[nodiscard]] qint32 ReadNumber(const QString &section, const QString &name,
                                    qint32 defaultValue);
    void WriteNumber(const QString &section, const QString &name, qint32 value);
    [[nodiscard]] bool ReadFlag(const QString &section, const QString &name, bool defaultValue);
    void WriteFlag(const QString &section, const QString &name, bool value);
    [[nodiscard]] double ReadStamp(const QString &section, const QString &name,
                                   double defaultValue);
    void WriteStamp(const QString &section, const QString &name, double value);
    void ListValueNames(const QString &section, QStringList &list);
    void ReadSectionPairs(const QString &section, QStringList &list);
    void DropSection(const QString &section);

private:
    template <typename Read> auto withSection(const QString &section, bool create, Read read);

    QString m_basePath;
};

} // namespace clarivex
