#include "core/utilities/update_info.h"

#include <QStringList>

namespace clarivex {

namespace {

// Tags are plain ASCII, so folding the text byte by byte finds them in any case.
qsizetype findTag(const QByteArray &text, const QByteArray &tag)
{
    const QByteArray folded = text.toLower();
    return folded.indexOf(tag.toLower());
}

QString value(const QByteArray &text, const char *tag, char terminator)
{
    return QString::fromUtf8(updateTagValue(text, QByteArray(tag), terminator));
}

int servedCount(const QByteArray &text)
{
    bool ok = false;
    // A CR before the LF that ends the value is not part of the number.
    const int count = updateTagValue(text, "#served=", '\n').trimmed().toInt(&ok);
    return ok ? count : -1;
}

QString sha256Value(const QByteArray &text, bool *present)
{
    static const QByteArray tag("#sha256=");
    const qsizetype at = findTag(text, tag);
    *present = at >= 0;
    if (at < 0) return QString();
    const qsizetype start = at + tag.size();
    qsizetype end = start;
    while (end < text.size() && text.at(end) != '\r' && text.at(end) != '\n')
        ++end;
    return QString::fromLatin1(text.mid(start, end - start).trimmed()).toLower();
}

} // namespace

bool UpdateInfo::redirects() const
{
    return redirect.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

QByteArray updateTagValue(const QByteArray &text, const QByteArray &tag, char terminator)
{
    const qsizetype at = findTag(text, tag);
    if (at < 0) return QByteArray();
    const qsizetype start = at + tag.size();
    const qsizetype end = text.indexOf(terminator, start);
    if (end < 0) return QByteArray();
    return text.mid(start, end - start);
}

UpdateInfo parseUpdateInfo(const QByteArray &text)
{
    UpdateInfo info;
    info.startsWithHash = text.startsWith('#');
    info.version = value(text, "#version=", '\r');
    info.date = value(text, "#date=", '\r');
    info.served = servedCount(text);
    info.caption = value(text, "#caption=", '\r');
    info.message = value(text, "#message=[", ']');
    info.redirect = value(text, "#redirect=", '\r');
    info.url = value(text, "#url=", '\r');
    info.sha256 = sha256Value(text, &info.hasSha256);
    return info;
}

QString updateDateKey(const QString &monthDayYear)
{
    const QStringList parts = monthDayYear.split(QLatin1Char('/'));
    const auto part = [&parts](qsizetype i) { return i < parts.size() ? parts.at(i) : QString(); };
    return part(2) + part(0) + part(1);
}

bool isNewerRelease(const UpdateInfo &info, TAUVersionControl control, const QString &versionDate,
                    const QString &versionNumber)
{
    if (!info.startsWithHash) return false;
    if (control == byNumber) return !info.version.isEmpty() && info.version != versionNumber;
    if (info.date.isEmpty()) return false;
    return updateDateKey(info.date) > updateDateKey(versionDate);
}

UpdateAddress splitUpdateAddress(const QString &address)
{
    QString rest = address;
    if (rest.contains(QLatin1String("http://"), Qt::CaseInsensitive)) rest.remove(0, 7);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) return {rest, QString()};
    return {rest.left(slash), rest.mid(slash)};
}

} // namespace clarivex
