#include "core/utilities/version_label_text.h"

#include <QStringList>
#include <QtEndian>

#include <array>

namespace clarivex {

namespace {

struct Field
{
    const char *key;
    const char *prefix;
};

constexpr std::array<Field, 10> kFields{{
    {"CompanyName", "Company Name:"},
    {"FileDescription", "File Description:"},
    {"FileVersion", "File Version:"},
    {"InternalName", "Internal Name:"},
    {"LegalCopyright", "Legal Copyright:"},
    {"OriginalFilename", "Original Filename:"},
    {"ProductName", "Product Name:"},
    {"ProductVersion", "Product Version:"},
    {"Comments", "Comments:"},
    {"Flags", "Flags:"},
}};

const QString kErrorVersion = QStringLiteral("< Error retrieving version info >");

const Field &field(TVersionResource resource)
{
    const auto index = std::size_t(resource);
    return kFields[index < kFields.size() ? index : std::size_t(vrFileVersion)];
}

} // namespace

QString versionResourceKey(TVersionResource resource)
{
    return QString::fromLatin1(field(resource).key);
}

QString versionResourcePrefix(TVersionResource resource)
{
    return QString::fromLatin1(field(resource).prefix);
}

QString versionFlagsText(quint32 flags)
{
    static const std::array<const char *, 6> names{"Debug Build",   "Pre-Release Build",
                                                   "Patched Build", "Private Build",
                                                   "InfoInferred",  "Special Build"};
    QStringList set;
    for (std::size_t bit = 0; bit < names.size(); ++bit)
        if (flags & (1u << bit)) set.append(QString::fromLatin1(names[bit]));
    return set.join(QStringLiteral(", "));
}

QString versionValueText(const VersionQuery &query, TVersionResource resource, const QString &key,
                         QString &langCharset)
{
    switch (query.state()) {
    case VersionQuery::State::Missing:
        return QStringLiteral("< No Data Available >");
    case VersionQuery::State::Unreadable:
        return kErrorVersion;
    case VersionQuery::State::Present:
        break;
    }
    if (resource == vrFlags) {
        const auto flags = query.fileFlags();
        return flags ? versionFlagsText(*flags) : kErrorVersion;
    }
    if (langCharset == QLatin1String(kFirstTranslation)) {
        const QByteArray list = query.translation();
        if (list.size() < 4) return QStringLiteral("< Error retrieving translation info >");
        langCharset =
            QStringLiteral("%1%2")
                .arg(qFromLittleEndian<quint16>(list.constData()), 4, 16, QLatin1Char('0'))
                .arg(qFromLittleEndian<quint16>(list.constData() + 2), 4, 16, QLatin1Char('0'))
                .toUpper();
    }
    const auto value = query.stringValue(langCharset, key);
    if (!value) return kErrorVersion;
    // The stored length counts the closing zero: an empty value is "shorter than 2".
    if (value->isEmpty()) return QStringLiteral("< No Version Info >");
    return *value;
}

QString versionLabelText(const QString &value, const QString &prefix, bool showPrefix)
{
    return showPrefix ? prefix + QLatin1Char(' ') + value : value;
}

} // namespace clarivex
