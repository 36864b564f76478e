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
