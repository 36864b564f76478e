#include "core/scanners/app_rule.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

namespace clarivex {

namespace {

constexpr qint64 kMaxFileBytes = 64 * 1024;
constexpr int kMaxFolders = 32;
constexpr int kMaxFolderDepth = 12;
constexpr int kMaxMasks = 64;
constexpr int kMaxMaskBytes = 255;

const QSet<QString> &ruleKeys()
{
    static const QSet<QString> keys{
        QStringLiteral("Description"),  QStringLiteral("Risk"),          QStringLiteral("Below"),
        QStringLiteral("Folders"),      QStringLiteral("Masks"),         QStringLiteral("Recursive"),
        QStringLiteral("MinAgeDays"),   QStringLiteral("MinSize"),       QStringLiteral("Marker"),
        QStringLiteral("SkipWhileRunning"), QStringLiteral("SkipOpenFiles"),
        QStringLiteral("Content"),      QStringLiteral("Kind"),          QStringLiteral("RootOnly")};
    return keys;
}

bool parseYesNo(const QString &value, bool &out)
{
    if (value == QLatin1String("yes")) {
        out = true;
        return true;
    }
    if (value == QLatin1String("no")) {
        out = false;
        return true;
    }
    return false;
}

QList<QByteArray> splitList(const QByteArray &value)
{
    QList<QByteArray> items;
    for (const QByteArray &item : value.split(';')) {
        const QByteArray trimmed = item.trimmed();
        if (!trimmed.isEmpty()) items << trimmed;
    }
    return items;
}

// A folder pattern: relative (absolute only below the system), no empty,
// "." or ".." part, no control byte, "*" only as a whole part.
QString folderProblem(const QByteArray &folder, bool system)
{
    if (folder == "." && !system) return {}; // the base itself
    if (folder.startsWith('/') != system)
        return system ? QStringLiteral("a folder below the system must be absolute")
                      : QStringLiteral("a folder must be relative to its base");
    const QList<QByteArray> parts = folder.mid(system ? 1 : 0).split('/');
    if (parts.size() > kMaxFolderDepth) return QStringLiteral("a folder is too deep");
    for (const QByteArray &part : parts) {
        if (part.isEmpty() || part == "." || part == "..")
            return QStringLiteral("a folder may not hold \"..\", \".\" or an empty part");
        if (part.contains('*') && part != "*")
            return QStringLiteral("\"*\" must stand for a whole folder name");
        for (const char c : part) {
            if (uchar(c) < 0x20 || c == 0x7f)
                return QStringLiteral("a folder may not hold control characters");
        }
    }
    return {};
}

struct Parser
{
    Parser(const QString &source, QList<AppRule> &rules) : sourceFile(source), out(rules) {}

    const QString &sourceFile;
    QList<AppRule> &out;
    QString application;
    AppRule *rule = nullptr;
    QSet<QString> keysSeen;
    QList<AppRule> rules;

    QString finishRule()
    {
        if (!rule) return {};
        const char *required[] = {"Description", "Risk", "Below", "Folders"};
        for (const char *key : required) {
            if (!keysSeen.contains(QLatin1String(key)))
                return QStringLiteral("rule %1 has no %2").arg(rule->id, QLatin1String(key));
        }
        if (rule->base == AppRuleBase::System && !rule->rootOnly)
            return QStringLiteral("rule %1 is below the system and needs RootOnly=yes")
                .arg(rule->id);
        if (rule->kind == AppRuleKind::Trash && rule->base != AppRuleBase::Data)
            return QStringLiteral("rule %1: a Trash rule lies below data").arg(rule->id);
        for (const QByteArray &folder : rule->folders) {
            const QString problem = folderProblem(folder, rule->base == AppRuleBase::System);
            if (!problem.isEmpty()) return QStringLiteral("rule %1: %2").arg(rule->id, problem);
        }
        rule = nullptr;
        return {};
    }

    QString section(const QString &name)
    {
        if (QString problem = finishRule(); !problem.isEmpty()) return problem;
        if (name == QLatin1String("Application")) {
            if (!rules.isEmpty() || !application.isEmpty())
                return QStringLiteral("[Application] must come once, first");
            application = QStringLiteral("?");
            return {};
        }
        if (!name.startsWith(QLatin1String("Rule ")))
            return QStringLiteral("unknown section [%1]").arg(name);
        if (application.isEmpty()) return QStringLiteral("[Application] must come first");
        if (application == QLatin1String("?")) return QStringLiteral("the application has no Name");
        static const QRegularExpression idPattern(QStringLiteral("^[a-z0-9][a-z0-9.-]{0,63}$"));
        const QString id = name.mid(5).trimmed();
        if (!idPattern.match(id).hasMatch())
            return QStringLiteral("bad rule id \"%1\" (lower-case letters, digits, \".\" and \"-\")")
                .arg(id);
        for (const AppRule &other : rules) {
            if (other.id == id) return QStringLiteral("rule %1 is named twice").arg(id);
        }
        rules.append(AppRule{});
        rule = &rules.last();
        rule->id = id;
        rule->sourceFile = sourceFile;
        keysSeen.clear();
        return {};
    }

    QString value(const QString &key, const QByteArray &raw)
    {
        const QString text = QString::fromUtf8(raw);
        if (!rule) {
            if (application.isEmpty()) return QStringLiteral("a value before any section");
            if (key != QLatin1String("Name"))
                return QStringLiteral("unknown key %1 in [Application]").arg(key);
            if (text.isEmpty()) return QStringLiteral("the application has no name");
            application = text;
            return {};
        }
        if (!ruleKeys().contains(key)) return QStringLiteral("unknown key %1").arg(key);
        if (keysSeen.contains(key)) return QStringLiteral("%1 is given twice").arg(key);
        keysSeen.insert(key);
        rule->application = application;
        bool ok = true;
        if (key == QLatin1String("Description")) {
            rule->description = text;
            ok = !text.isEmpty();
        } else if (key == QLatin1String("Risk")) {
            rule->risk = text;
            ok = text == QLatin1String("safe") || text == QLatin1String("review");
        } else if (key == QLatin1String("Below")) {
            static const QStringList bases{QStringLiteral("cache"), QStringLiteral("data"),
                                           QStringLiteral("home"), QStringLiteral("system")};
            const int index = int(bases.indexOf(text));
            ok = index >= 0;
            if (ok) rule->base = AppRuleBase(index);
        } else if (key == QLatin1String("Folders")) {
            rule->folders = splitList(raw);
            ok = !rule->folders.isEmpty() && rule->folders.size() <= kMaxFolders;
        } else if (key == QLatin1String("Masks")) {
            const QList<QByteArray> masks = splitList(raw);
            ok = !masks.isEmpty() && masks.size() <= kMaxMasks;
            for (const QByteArray &mask : masks) {
                ok = ok && mask.size() <= kMaxMaskBytes && !mask.contains('/');
            }
            rule->masks = masks.join(';');
        } else if (key == QLatin1String("Recursive")) {
            ok = parseYesNo(text, rule->recursive);
        } else if (key == QLatin1String("MinAgeDays")) {
            rule->minAgeDays = text.toInt(&ok);
            ok = ok && rule->minAgeDays >= 0 && rule->minAgeDays <= 36500;
        } else if (key == QLatin1String("MinSize")) {
            rule->minSize = text.toLongLong(&ok);
            ok = ok && rule->minSize >= 0;
        } else if (key == QLatin1String("Marker")) {
            rule->marker = raw;
            ok = !raw.isEmpty() && !raw.contains('/') && raw != "." && raw != "..";
        } else if (key == QLatin1String("SkipWhileRunning")) {
            for (const QByteArray &name : splitList(raw)) {
                ok = ok && !name.contains('/') && name.size() <= 255;
                rule->skipWhileRunning << QString::fromUtf8(name);
            }
        } else if (key == QLatin1String("SkipOpenFiles")) {
            ok = parseYesNo(text, rule->skipOpenFiles);
        } else if (key == QLatin1String("Content")) {
            ok = text == QLatin1String("any") || text == QLatin1String("elf-core");
            rule->content = text == QLatin1String("elf-core") ? AppRuleContent::ElfCore
                                                              : AppRuleContent::Any;
        } else if (key == QLatin1String("Kind")) {
            ok = text == QLatin1String("files") || text == QLatin1String("trash");
            rule->kind = text == QLatin1String("trash") ? AppRuleKind::Trash : AppRuleKind::Files;
        } else if (key == QLatin1String("RootOnly")) {
            ok = parseYesNo(text, rule->rootOnly);
        }
        return ok ? QString() : QStringLiteral("bad value for %1: \"%2\"").arg(key, text);
    }
};

} // namespace

QString appRuleBaseName(AppRuleBase base)
{
    switch (base) {
    case AppRuleBase::Cache: return QStringLiteral("cache");
    case AppRuleBase::Data: return QStringLiteral("data");
    case AppRuleBase::Home: return QStringLiteral("home");
    case AppRuleBase::System: return QStringLiteral("system");
    }
    return {};
}

bool parseAppRules(const QByteArray &text, const QString &sourceFile, QList<AppRule> &rules,
                   QString &error)
{
    if (text.size() > kMaxFileBytes) {
        error = QStringLiteral("the file is larger than 64 KiB");
        return false;
    }
    if (!QString::fromUtf8(text).toUtf8().startsWith(text)) {
        error = QStringLiteral("the file is not UTF-8 text");
        return false;
    }
    Parser parser(sourceFile, rules);
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        QString problem;
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith('[')) {
            if (!line.endsWith(']'))
                problem = QStringLiteral("a section must end with \"]\"");
            else
                problem = parser.section(QString::fromUtf8(line.mid(1, line.size() - 2)));
        } else if (const qsizetype eq = line.indexOf('='); eq <= 0) {
            problem = QStringLiteral("expected key=value");
        } else {
            problem = parser.value(QString::fromUtf8(line.left(eq).trimmed()),
                                   line.mid(eq + 1).trimmed());
        }
        if (!problem.isEmpty()) {
            error = QStringLiteral("line %1: %2").arg(i + 1).arg(problem);
            return false;
        }
    }
    if (QString problem = parser.finishRule(); !problem.isEmpty()) {
        error = problem;
        return false;
    }
    if (parser.rules.isEmpty()) {
        error = QStringLiteral("the file holds no rule");
        return false;
    }
    rules += parser.rules;
    return true;
}

bool readAppRuleFile(const QString &path, QList<AppRule> &rules, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    const QByteArray text = file.read(kMaxFileBytes + 1);
    return parseAppRules(text, path, rules, error);
}

} // namespace clarivex
