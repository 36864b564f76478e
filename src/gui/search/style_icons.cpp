#include "gui/search/style_icons.h"

#include "core/search/file_type_cache.h"

#include <QApplication>
#include <QFileIconProvider>

namespace clarivex {

void installStyleIcons()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    // A desktop without an icon theme of its own (a bare window manager) still
    // gets themed type icons when the freedesktop default theme is installed.
    if (!QIcon::hasThemeIcon(QStringLiteral("text-x-generic")))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    FileTypeCache::setFallbackIcons([](FileTypeCache::StandardIcon kind) {
        if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
            return QIcon(); // the style's icons need the widget application
        switch (kind) {
        case FileTypeCache::StandardIcon::Folder:
            return QFileIconProvider().icon(QFileIconProvider::Folder);
        case FileTypeCache::StandardIcon::Network:
            return QFileIconProvider().icon(QFileIconProvider::Network);
        case FileTypeCache::StandardIcon::Drive:
            return QFileIconProvider().icon(QFileIconProvider::Drive);
        case FileTypeCache::StandardIcon::File:
            break;
        }
        return QFileIconProvider().icon(QFileIconProvider::File);
    });
}

} // namespace clarivex
