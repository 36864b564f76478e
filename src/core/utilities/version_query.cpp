#include "core/utilities/version_query.h"

#include <QtEndian>

namespace clarivex {

VersionQuery VersionQuery::ofTable(const VersionInfo &info)
{
    VersionQuery query;
    query.m_state = State::Present;
    query.m_resource.valid = true;
    query.m_resource.fileFlags = info.fileFlags;
    QByteArray translation(4, '\0');
    qToLittleEndian(info.language, translation.data());
    qToLittleEndian(info.codePage, translation.data() + 2);
    query.m_resource.translation = translation;
    query.m_resource.tables.append({info.langCharset(), info.strings});
    return query;
}

VersionQuery VersionQuery::ofProgram()
{
    return ofTable(programVersionInfo());
}

VersionQuery VersionQuery::ofBlock(const QByteArray &block)
{
    VersionQuery query;
    if (block.isEmpty()) return query;
    query.m_resource = platform::parseVersionResource(block);
    query.m_state = query.m_resource.valid ? State::Present : State::Unreadable;
    return query;
}

VersionQuery VersionQuery::ofFile(const QByteArray &path)
{
    return ofBlock(platform::readPeVersionBlock(path));
}

std::optional<quint32> VersionQuery::fileFlags() const
{
    return m_resource.fileFlags;
}

QByteArray VersionQuery::translation() const
{
    return m_resource.translation;
}

std::optional<QString> VersionQuery::stringValue(const QString &langCharset,
                                                 const QString &key) const
{
    // Names and keys compare without regard to case, as the system's query does.
    for (const auto &table : m_resource.tables) {
        if (table.name.compare(langCharset, Qt::CaseInsensitive) != 0) continue;
        for (const auto &[name, value] : table.strings)
            if (name.compare(key, Qt::CaseInsensitive) == 0) return value;
    }
    return std::nullopt;
}

} // namespace clarivex
