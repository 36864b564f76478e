#pragma once

// Every application junk rule the program knows: the ones installed with it
// (share/clarivex/rules, or "rules" beside a built program) and the user's own
// ($XDG_CONFIG_HOME/clarivex/rules). Files end in ".rules" and are read in
// name order, installed ones first. A file that breaks the format is named
// with its reason and none of its rules is used; a user's rule may not take
// the id of another rule.

#include "core/scanners/app_rule.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace clarivex {

struct AppRuleCatalogue
{
    QList<AppRule> rules;
    QStringList problems; // "FILE: reason", one per file left out

    [[nodiscard]] static AppRuleCatalogue load();
    [[nodiscard]] static AppRuleCatalogue load(const QStringList &folders);
    // The installed folder and the user's folder, in that order.
    [[nodiscard]] static QStringList folders();

    [[nodiscard]] int indexOf(const QString &id) const;
};

} // namespace clarivex
