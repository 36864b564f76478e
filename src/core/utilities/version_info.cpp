#include "core/utilities/version_info.h"

namespace clarivex {

namespace {

const QString kMaker = QStringLiteral("Marlowtek");

QString dotted(const std::array<quint16, 4> &v)
{
    return QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
}

VersionInfo makeProgram()
{
    VersionInfo info;
    info.fileVersion = {3, 5, 0, 10};
    info.productVersion = {3, 5, 0, 10};
    info.strings = {
        {QStringLiteral("CompanyName"), kMaker},
        {QStringLiteral("FileDescription"),
         QStringLiteral("Thoroughly clean error-producing files from your system")},
        {QStringLiteral("FileVersion"), dotted(info.fileVersion)},
        {QStringLiteral("InternalName"), QStringLiteral("Clarivex 2000")},
        {QStringLiteral("LegalCopyright"), kMaker},
        {QStringLiteral("LegalTrademarks"), kMaker},
        {QStringLiteral("ProductName"), QStringLiteral("Clarivex 2000")},
        {QStringLiteral("ProductVersion"), QStringLiteral("3.5.0.0")},
        {QStringLiteral("Comments"), QStringLiteral("Clarivex 2000")},
    };
    return info;
}

VersionInfo makeScheduler()
{
    VersionInfo info;
    info.fileVersion = {1, 0, 0, 14};
    info.productVersion = {1, 0, 0, 14};
    info.strings = {
        {QStringLiteral("CompanyName"), kMaker},
        {QStringLiteral("FileVersion"), dotted(info.fileVersion)},
    };
    return info;
}

} // namespace

QString VersionInfo::langCharset() const
{
    return QStringLiteral("%1%2")
        .arg(language, 4, 16, QLatin1Char('0'))
        .arg(codePage, 4, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<QString> VersionInfo::value(const QString &key) const
{
    for (const auto &[name, text] : strings)
        if (name == key) return text;
    return std::nullopt;
}

const VersionInfo &programVersionInfo()
{
    static const VersionInfo info = makeProgram();
    return info;
}

const VersionInfo &schedulerVersionInfo()
{
    static const VersionInfo info = makeScheduler();
    return info;
}

QString programFileVersion()
{
    return programVersionInfo().value(QStringLiteral("FileVersion")).value_or(QString());
}

} // namespace clarivex
