#include "core/cleaning/clean_summary.h"

#include "core/base/formats.h"

#include <QFile>
#include <QLocale>

namespace clarivex::cleaning {

namespace {

QString filesText(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 file")
                      : QStringLiteral("%1 files").arg(formatGrouped(qint64(count)));
}

QString modeName(CleanMode mode)
{
    switch (mode) {
    case CleanMode::Trash:
        return QStringLiteral("Move to Trash");
    case CleanMode::Delete:
        return QStringLiteral("Delete");
    case CleanMode::MoveToFolder:
        return QStringLiteral("Move to folder");
    case CleanMode::ZipToFolder:
        return QStringLiteral("Zip to folder");
    }
    return {};
}

QString keptList(const CleanTally &tally)
{
    if (tally.kept.size() == 1) return tally.kept.first().first;
    QStringList parts;
    for (const auto &[reason, count] : tally.kept)
        parts << QStringLiteral("%1 %2").arg(formatGrouped(qint64(count)), reason);
    return parts.join(QStringLiteral(", "));
}

} // namespace

void CleanTally::keep(const QString &reason, qsizetype count)
{
    if (count <= 0) return;
    for (auto &[known, n] : kept) {
        if (known == reason) {
            n += count;
            return;
        }
    }
    kept.append({reason, count});
}

qsizetype CleanTally::keptCount() const
{
    qsizetype count = 0;
    for (const auto &entry : kept)
        count += entry.second;
    return count;
}

QString keptReason(RowFate fate)
{
    switch (fate) {
    case RowFate::InUse:
        return QStringLiteral("in use");
    case RowFate::Changed:
        return QStringLiteral("changed since the scan");
    case RowFate::Protected:
        return QStringLiteral("a protected system file");
    case RowFate::Failed:
        return QStringLiteral("failed");
    case RowFate::Kept:
        return QStringLiteral("not removed");
    case RowFate::NotDone:
    case RowFate::Cleaned:
        break;
    }
    return QStringLiteral("not cleaned");
}

CleanTally tallyClean(CleanMode mode, const CleanReport &report, const QList<qint64> &sizes,
                      const QList<bool> &gone)
{
    CleanTally tally;
    tally.mode = mode;
    tally.destination = report.archive;
    for (qsizetype i = 0; i < report.rows.size(); ++i) {
        const RowOutcome &outcome = report.rows[i];
        if (outcome.fate == RowFate::Cleaned) {
            ++tally.cleaned;
            tally.bytes += i < sizes.size() ? sizes[i] : 0;
            if (tally.destination.isEmpty() && mode == CleanMode::MoveToFolder) {
                const QByteArray &to = outcome.destination;
                tally.destination = to.left(to.lastIndexOf('/'));
            }
        } else if (i >= gone.size() || !gone[i]) {
            tally.keep(keptReason(outcome.fate));
        }
    }
    return tally;
}

QString cleanDoneText(const CleanTally &tally)
{
    if (tally.cleaned == 0) return QStringLiteral("Nothing was cleaned.");
    const QString what =
        QStringLiteral("%1 (%2)").arg(filesText(tally.cleaned), readableSize(tally.bytes));
    const QString to = QFile::decodeName(tally.destination);
    switch (tally.mode) {
    case CleanMode::Trash:
        return QStringLiteral("Moved %1 to the Trash").arg(what);
    case CleanMode::Delete:
        return QStringLiteral("Deleted %1").arg(what);
    case CleanMode::MoveToFolder:
        return to.isEmpty() ? QStringLiteral("Moved %1").arg(what)
                            : QStringLiteral("Moved %1 to %2").arg(what, to);
    case CleanMode::ZipToFolder:
        return to.isEmpty() ? QStringLiteral("Zipped %1").arg(what)
                            : QStringLiteral("Zipped %1 to %2").arg(what, to);
    }
    return {};
}

QString cleanKeptText(const CleanTally &tally)
{
    const qsizetype count = tally.keptCount();
    if (count == 0) return {};
    return QStringLiteral("%1 %2 kept: %3")
        .arg(filesText(count), count == 1 ? QStringLiteral("was") : QStringLiteral("were"),
             keptList(tally));
}

QString cleanLogText(const CleanTally &tally, const QString &how)
{
    QString text = QStringLiteral("Clean (%1, %2): %3 Files, %4 Bytes")
                       .arg(modeName(tally.mode), how, formatGrouped(qint64(tally.cleaned)),
                            formatGrouped(tally.bytes));
    if (const qsizetype kept = tally.keptCount(); kept > 0)
        text +=
            QStringLiteral("; %1 Files kept: %2").arg(formatGrouped(qint64(kept)), keptList(tally));
    return text;
}

QString readableSize(qint64 bytes)
{
    // Whole kilobytes, tenths above: "133 KB", "1.5 MB".
    return QLocale().formattedDataSize(bytes, bytes < 1024 * 1024 ? 0 : 1,
                                       QLocale::DataSizeTraditionalFormat);
}

QString exactAndReadableBytes(qint64 bytes)
{
    return QStringLiteral("%1 bytes (%2)")
        .arg(formatGrouped(bytes),
             QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeIecFormat));
}

} // namespace clarivex::cleaning
