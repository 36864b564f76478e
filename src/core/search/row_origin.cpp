#include "core/search/row_origin.h"

namespace clarivex {

namespace {

constexpr const char *kScanNames[] = {"temporary files", "duplicates", "directories",
                                      "dead shortcuts", "application rules"};

} // namespace

QString scanOriginName(ScanOrigin scan)
{
    const auto index = size_t(scan);
    return index < std::size(kScanNames) ? QString::fromLatin1(kScanNames[index]) : QString();
}

QString runTriggerName(RunTrigger trigger)
{
    switch (trigger) {
    case RunTrigger::User:
        return QStringLiteral("user");
    case RunTrigger::Scheduled:
        return QStringLiteral("scheduled");
    case RunTrigger::Cli:
        return QStringLiteral("cli");
    }
    return {};
}

std::optional<ScanOrigin> scanOriginFromName(const QString &name)
{
    for (size_t i = 0; i < std::size(kScanNames); ++i) {
        if (name == QLatin1String(kScanNames[i])) return ScanOrigin(i);
    }
    return std::nullopt;
}

} // namespace clarivex
