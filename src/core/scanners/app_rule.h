#pragma once

// Application junk rules: what an application leaves behind that may go,
// written as small text files a person can read and check. One file per
// application:
//
//   # comments start with "#"
//   [Application]
//   Name=Firefox
//
//   [Rule firefox-cache]
//   Description=Web pages and pictures kept to show them faster again
//   Risk=safe                       safe | review
//   Below=cache                     cache | data | home | system
//   Folders=mozilla/firefox/*/cache2   ";" between folders; "*" is any one folder
//   Masks=*                         ";" between name masks (default "*")
//   Recursive=yes                   files in subfolders too (default yes)
//   MinAgeDays=0                    last written at least this long ago
//   MinSize=0                       bytes
//   Marker=entries                  an entry every matched folder must hold
//   SkipWhileRunning=firefox;firefox-esr   no file while such a program runs
//   SkipOpenFiles=no                leave files that a process holds open
//   Content=any                     any | elf-core (core dumps only)
//   Kind=files                      files | trash (Trash items by deletion date)
//   RootOnly=no                     yes: only for root (required with Below=system)
//
// Rules are conservative by construction: they match files only, never a
// folder as a whole; no folder of the way and no file may be a symbolic link;
// a walk never leaves the file system of its folder; folders are relative to
// their base and may not climb out of it with ".."; absolute folders exist
// only for Below=system, which only root may use.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace clarivex {

enum class AppRuleBase : quint8 { Cache, Data, Home, System };
enum class AppRuleKind : quint8 { Files, Trash };
enum class AppRuleContent : quint8 { Any, ElfCore };

struct AppRule
{
    QString id;          // [a-z0-9][a-z0-9.-]*, unique among all rules
    QString application; // the file's [Application] Name
    QString description;
    QString risk; // "safe" or "review"
    AppRuleBase base = AppRuleBase::Cache;
    QList<QByteArray> folders; // relative to the base (absolute for System)
    QByteArray masks = "*";    // ";"-separated, as the finder takes them
    bool recursive = true;
    int minAgeDays = 0;
    qint64 minSize = 0;
    QByteArray marker;
    QStringList skipWhileRunning;
    bool skipOpenFiles = false;
    AppRuleContent content = AppRuleContent::Any;
    AppRuleKind kind = AppRuleKind::Files;
    bool rootOnly = false;
    QString sourceFile; // where it was read from
};

// Reads the rules of one file. False with `error` ("line 7: ...") when the
// file breaks the format in any way; then no rule of it is used.
[[nodiscard]] bool parseAppRules(const QByteArray &text, const QString &sourceFile,
                                 QList<AppRule> &rules, QString &error);
[[nodiscard]] bool readAppRuleFile(const QString &path, QList<AppRule> &rules, QString &error);

[[nodiscard]] QString appRuleBaseName(AppRuleBase base);

} // namespace clarivex
