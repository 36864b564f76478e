#include "gui/toolkit/artwork.h"

#include <QHash>

// The resources live in a static library, so they are registered by hand once.
static void registerArtwork()
{
    Q_INIT_RESOURCE(artwork);
}

namespace clarivex::ui {

QIcon artwork(const QString &name)
{
    static const bool registered = (registerArtwork(), true);
    (void)registered;
    static QHash<QString, QIcon> cache;
    auto it = cache.find(name);
    if (it == cache.end())
        it = cache.insert(name, QIcon(QStringLiteral(":/icons/%1.svg").arg(name)));
    return *it;
}

} // namespace clarivex::ui
