#include "core/utilities/os_version_text.h"

#include <QFile>

#include <sys/utsname.h>

namespace clarivex {

namespace {

// A value of os-release: shell-style, unquoted, or in single or double
// quotes, where a backslash takes the next character of "$`\"\\" literally.
QString unquote(const QByteArray &raw)
{
    const QByteArray text = raw.trimmed();
    if (text.isEmpty()) return {};
    const char quote = text.front();
    if (quote != '"' && quote != '\'') return QString::fromUtf8(text);
    QByteArray value;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == quote) break;
        if (quote == '"' && c == '\\' && i + 1 < text.size() &&
            QByteArray("$`\"\\").contains(text[i + 1])) {
            value.append(text[++i]);
            continue;
        }
        value.append(c);
    }
    return QString::fromUtf8(value);
}

} // namespace

std::optional<KernelIdentity> runningKernel()
{
    struct utsname names
    {
    };
    if (::uname(&names) != 0) return std::nullopt;
    return KernelIdentity{QString::fromLocal8Bit(names.sysname),
                          QString::fromLocal8Bit(names.release)};
}

QStringList osReleaseFiles()
{
    return {QStringLiteral("/etc/os-release"), QStringLiteral("/usr/lib/os-release")};
}

QString osReleasePrettyName(const QStringList &files)
{
    for (const QString &path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) continue;
        // The file is a few hundred bytes; a larger one is not read further.
        const QByteArray content = file.read(64 * 1024);
        for (const QByteArray &line : content.split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith("PRETTY_NAME="))
                return unquote(trimmed.mid(qsizetype(sizeof("PRETTY_NAME=") - 1)));
        }
        return {};
    }
    return {};
}

QString OSVersionText(const std::optional<KernelIdentity> &kernel, const QString &prettyName)
{
    if (!kernel) return {};
    QString text = kernel->name + QStringLiteral(" Version ") + kernel->release;
    if (!prettyName.isEmpty()) text += QStringLiteral("\n (") + prettyName + QLatin1Char(')');
    return text;
}

QString OSVersionText()
{
    return OSVersionText(runningKernel(), osReleasePrettyName());
}

} // namespace clarivex
