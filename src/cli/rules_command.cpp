// clarivex-cli rules: the application junk rules. "list" shows every rule
// the directory scan can use (plain or one JSON object per rule) and names
// the rule files left out; "check FILE" validates one rule file.

#include "cli/cli_command.h"
#include "core/scanners/app_rule.h"
#include "core/scanners/app_rule_catalogue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace clarivex::cli {

namespace {

int runRules(const QList<QByteArray> &args);

const CliCommand kRules{
    "rules", "clarivex-cli rules list [--json] | check FILE", runRules,
    "The application junk rules that \"scan dirs\" can use: the installed ones and\n"
    "those in $XDG_CONFIG_HOME/clarivex/rules.\n"
    "  list [--json]  one line per rule: id, application, risk, base, folders and\n"
    "                 description (with --json one object per rule); rule files\n"
    "                 that are not valid are named on stderr\n"
    "  check FILE     validates a rule file: exit 0 when it is valid, 1 with the\n"
    "                 reason when it is not\n"};
const CliCommandRegistrar kRegistrar(kRules);

QJsonObject ruleObject(const AppRule &rule)
{
    QJsonArray folders;
    for (const QByteArray &folder : rule.folders)
        folders.append(QFile::decodeName(folder));
    QJsonObject object{{QStringLiteral("id"), rule.id},
                       {QStringLiteral("application"), rule.application},
                       {QStringLiteral("description"), rule.description},
                       {QStringLiteral("risk"), rule.risk},
                       {QStringLiteral("below"), appRuleBaseName(rule.base)},
                       {QStringLiteral("folders"), folders},
                       {QStringLiteral("masks"), QString::fromUtf8(rule.masks)},
                       {QStringLiteral("min_age_days"), rule.minAgeDays},
                       {QStringLiteral("min_size"), rule.minSize},
                       {QStringLiteral("root_only"), rule.rootOnly},
                       {QStringLiteral("file"), rule.sourceFile}};
    if (!rule.skipWhileRunning.isEmpty())
        object.insert(QStringLiteral("skip_while_running"),
                      QJsonArray::fromStringList(rule.skipWhileRunning));
    return object;
}

int listRules(bool json)
{
    const AppRuleCatalogue catalogue = AppRuleCatalogue::load();
    for (const QString &problem : catalogue.problems)
        std::fprintf(stderr, "clarivex-cli: rule file left out: %s\n", qPrintable(problem));
    for (const AppRule &rule : catalogue.rules) {
        QByteArray line;
        if (json) {
            line = QJsonDocument(ruleObject(rule)).toJson(QJsonDocument::Compact);
        } else {
            QByteArrayList folders;
            for (const QByteArray &folder : rule.folders) folders << folder;
            line = (QStringList{rule.id, rule.application, rule.risk, appRuleBaseName(rule.base)}
                        .join(QLatin1Char('\t')) +
                    QLatin1Char('\t'))
                       .toUtf8() +
                   folders.join(';') + '\t' + rule.description.toUtf8();
        }
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fputc('\n', stdout);
    }
    return ExitOk;
}

int checkRules(const QByteArray &file)
{
    QList<AppRule> rules;
    QString error;
    if (!readAppRuleFile(QFile::decodeName(file), rules, error)) {
        std::fprintf(stderr, "clarivex-cli: %s: %s\n", file.constData(), qPrintable(error));
        return ExitFailed;
    }
    for (const AppRule &rule : rules)
        std::printf("ok\t%s\n", qPrintable(rule.id));
    return ExitOk;
}

int runRules(const QList<QByteArray> &args)
{
    if (!args.isEmpty() && args.first() == "list" &&
        (args.size() == 1 || (args.size() == 2 && args[1] == "--json")))
        return listRules(args.size() == 2);
    if (args.size() == 2 && args.first() == "check") return checkRules(args[1]);
    return usageError(kRules, args.isEmpty() ? QByteArray("list or check?")
                                             : "bad arguments for rules " + args.first());
}

} // namespace

} // namespace clarivex::cli
