#include "core/scanners/app_rule_catalogue.h"

#include "core/platform/program_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace clarivex {

QStringList AppRuleCatalogue::folders()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString beside = programDir + QStringLiteral("/rules");
    const QString installed = QFileInfo(beside).isDir()
                                  ? beside
                                  : platform::installedDataFolder(programDir) +
                                        QStringLiteral("/rules");
    return {installed,
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/clarivex/rules")};
}

AppRuleCatalogue AppRuleCatalogue::load()
{
    return load(folders());
}

AppRuleCatalogue AppRuleCatalogue::load(const QStringList &folders)
{
    AppRuleCatalogue catalogue;
    for (const QString &folder : folders) {
        const QDir dir(folder);
        const QStringList names =
            dir.entryList({QStringLiteral("*.rules")}, QDir::Files, QDir::Name);
        for (const QString &name : names) {
            const QString path = dir.filePath(name);
            QList<AppRule> rules;
            QString error;
            if (!readAppRuleFile(path, rules, error)) {
                catalogue.problems << QStringLiteral("%1: %2").arg(path, error);
                continue;
            }
            for (const AppRule &rule : rules) {
                if (catalogue.indexOf(rule.id) >= 0) {
                    error = QStringLiteral("rule %1 is already defined").arg(rule.id);
                    break;
                }
            }
            if (!error.isEmpty()) {
                catalogue.problems << QStringLiteral("%1: %2").arg(path, error);
                continue;
            }
            catalogue.rules += rules;
        }
    }
    return catalogue;
}

int AppRuleCatalogue::indexOf(const QString &id) const
{
    for (int i = 0; i < rules.size(); ++i) {
        if (rules[i].id == id) return i;
    }
    return -1;
}

} // namespace clarivex
