#pragma once

// The walk of the application junk rules: for each rule, the folders its
// patterns name below its base, and in them the files that pass every test
// of the rule. Folders are opened one below the other without following a
// symbolic link; a folder that is a link, or a file that is one, is never
// matched. A rule whose guard fails (its program runs, it is for root only,
// its base lies outside the home) is skipped as a whole and said why.

#include "core/base/find_data.h"
#include "core/scanners/app_rule.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <utility>

namespace clarivex {

struct AppRuleBases
{
    QByteArray home;
    QByteArray cache;
    QByteArray data;
    // From the environment: HOME, XDG_CACHE_HOME, XDG_DATA_HOME (or their defaults).
    [[nodiscard]] static AppRuleBases fromEnvironment();
};

struct AppRuleSkip
{
    QString ruleId;
    QString reason;
};

class AppRuleScan
{
public:
    // A file found by rule `rule` (an index into the rules given to run):
    // false when it could not be listed. `size` receives the size listed.
    std::function<bool(const QByteArray &folder, const TFindData &data, int rule, qint64 &size)>
        addFile;
    std::function<void(int panel, const QString &text)> status;
    std::function<bool()> stopRequested; // polled between folders

    AppRuleBases bases = AppRuleBases::fromEnvironment();
    QByteArray procRoot = "/proc";
    QByteArray systemRoot = "/"; // where absolute folders of system rules begin
    bool root = false; // the program runs as root
    qint64 now = 0;    // ns since 1970; 0: the clock when run starts
    // Folders never entered (the Trash, the backup and archive folders).
    QList<QByteArray> excludedFolders;

    void run(const QList<AppRule> &rules);

    qint64 FoundFileCount = 0;
    qint64 FoundByteTotal = 0;
    QList<AppRuleSkip> skipped;
    QList<QByteArray> CandidateKeys; // full path and "/" per found file

private:
    struct Walk;
    QString guardProblem(const AppRule &rule, const QSet<QString> &running) const;
};

// The names of the running programs: each process's command name and the
// last part of its first argument.
[[nodiscard]] QSet<QString> runningProgramNames(const QByteArray &procRoot = "/proc");

} // namespace clarivex
