#include "core/cleaning/entry_names.h"

#include "core/base/path_text.h"

namespace clarivex::cleaning {

PathParts splitPath(const QByteArray &path)
{
    const QByteArray trimmed = withoutTrailingSlashes(path);
    if (trimmed == "/") return {"/", {}};
    const qsizetype slash = trimmed.lastIndexOf('/');
    if (slash < 0) return {".", trimmed};
    return {slash == 0 ? QByteArray("/") : trimmed.left(slash), trimmed.mid(slash + 1)};
}

QByteArray joinPath(const QByteArray &folder, const QByteArray &name)
{
    if (folder.endsWith('/')) return folder + name;
    return folder + '/' + name;
}

// The name cut before its extension: the last "." that is not the first byte.
static qsizetype extensionStart(const QByteArray &name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? dot : name.size();
}

static QByteArray withSuffix(const QByteArray &name, const QByteArray &suffix)
{
    const qsizetype at = extensionStart(name);
    return name.left(at) + suffix + name.mid(at);
}

QByteArray collisionName(const QByteArray &name, int n)
{
    if (n <= 1) return name;
    return withSuffix(name, " (" + QByteArray::number(n) + ')');
}

QByteArray restoredName(const QByteArray &name, int n)
{
    if (n <= 1) return withSuffix(name, " (restored)");
    return withSuffix(name, " (restored " + QByteArray::number(n) + ')');
}

} // namespace clarivex::cleaning
