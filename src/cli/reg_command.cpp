// clarivex-cli reg: read and repair the settings store from a shell or a script.

#include "cli/cli_command.h"
#include "cli/reg_format.h"
#include "cli/text_encoding.h"
#include "core/base/formats.h"
#include "core/shell/custom_registry.h"
#include "core/shell/registry_database.h"

#include <QHash>

namespace clarivex::cli {

namespace {

int runReg(const QList<QByteArray> &args);

const CliCommand kReg{
    "reg",
    "clarivex-cli reg list KEY [--json] | get KEY NAME [--as text|number|flag|date] [--default "
    "VALUE] | "
    "set KEY NAME (--text T | --number N | --flag true|false | --date 'dd-MM-yyyy hh:mm:ss') | "
    "delete KEY [NAME] | export KEY",
    runReg,
    "Reads and repairs the settings store that the window and the Scheduler share.\n"
    "KEY begins with HKCU or HKLM (or HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE); keys are\n"
    "separated by \"\\\", for example 'HKCU\\Software\\Marlowtek\\Clarivex "
    "2000\\Settings\\Options'.\n"
    "  list KEY          the subkeys and values of KEY (--json: one JSON object)\n"
    "  get KEY NAME      one value; --as reads it as that kind, --default is printed\n"
    "                    when the value is missing\n"
    "  set KEY NAME ...  writes one value of the kind given (a flag is stored as\n"
    "                    0 or 0xFFFFFFFF, a date as dd-MM-yyyy hh:mm:ss)\n"
    "  delete KEY [NAME] removes the value NAME, or KEY with all below it\n"
    "  export KEY        KEY and all below it as text\n"};
const CliCommandRegistrar registrar(kReg);

struct UsageError
{
    QByteArray problem;
};

struct Failure
{
    QString message;
};

// The store keeps names and text as UTF-8: other bytes would not come back
// as they went in, and two different names could become one.
QString arg(const QList<QByteArray> &args, qsizetype i)
{
    if (!isValidUtf8(args.at(i)))
        throw Failure{QStringLiteral("argument %1 is not valid UTF-8; the settings store keeps "
                                     "names and text as UTF-8")
                          .arg(i + 1)};
    return QString::fromUtf8(args.at(i));
}

RegistryKeyName keyArgument(const QList<QByteArray> &args, qsizetype i)
{
    if (i >= args.size()) throw UsageError{"missing KEY"};
    const auto key = parseKeyName(arg(args, i));
    if (!key)
        throw UsageError{"KEY must begin with HKCU, HKLM, HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE"};
    return *key;
}

// Options after the positional arguments: "--name value" pairs.
QHash<QString, QString> options(const QList<QByteArray> &args, qsizetype from,
                                const QStringList &allowed)
{
    QHash<QString, QString> found;
    for (qsizetype i = from; i < args.size(); i += 2) {
        const QString name = arg(args, i);
        if (!allowed.contains(name)) throw UsageError{"unknown argument '" + args.at(i) + "'"};
        if (i + 1 >= args.size()) throw UsageError{args.at(i) + " needs a value"};
        if (found.contains(name)) throw UsageError{args.at(i) + " given twice"};
        found.insert(name, arg(args, i + 1));
    }
    return found;
}

void openExisting(TRegistry &registry, const RegistryKeyName &key)
{
    registry.SetRoot(key.hive);
    if (!registry.OpenPath(QLatin1Char('\\') + key.path, false))
        throw Failure{QStringLiteral("no such key")};
}

qint32 parseNumber(const QString &text)
{
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    if (!ok) throw Failure{QStringLiteral("not a number")};
    return value;
}

bool parseFlag(const QString &text)
{
    if (text == QLatin1String("true")) return true;
    if (text == QLatin1String("false")) return false;
    throw UsageError{"a flag is true or false"};
}

double parseDate(const QString &text)
{
    const auto dateTime = parseDateTime(text);
    if (!dateTime) throw Failure{QStringLiteral("not a date (dd-MM-yyyy hh:mm:ss)")};
    return dateTimeToValue(*dateTime);
}

void printLine(const QString &line)
{
    writeOut(line.toUtf8() + '\n');
}

int list(const QList<QByteArray> &args)
{
    const bool json = args.size() == 3 && args.at(2) == "--json";
    if (args.size() != 2 && !json) throw UsageError{"list takes one KEY and --json"};
    TRegistry registry;
    openExisting(registry, keyArgument(args, 1));
    QStringList subkeys;
    registry.ListSubkeyNames(subkeys);
    QStringList names;
    registry.ListValueNames(names);
    QList<RegistryValue> values;
    for (const QString &name : names) {
        if (auto value = registry.ReadRaw(name)) values.append(std::move(*value));
    }
    writeOut(json ? listJson(subkeys, values) : listText(subkeys, values));
    return ExitOk;
}

int get(const QList<QByteArray> &args)
{
    if (args.size() < 3) throw UsageError{"get takes KEY and NAME"};
    const RegistryKeyName key = keyArgument(args, 1);
    const QString name = arg(args, 2);
    const auto opts = options(args, 3, {QStringLiteral("--as"), QStringLiteral("--default")});
    const QString kind = opts.value(QStringLiteral("--as"));
    if (kind.isEmpty()) {
        if (opts.contains(QStringLiteral("--default")))
            throw UsageError{"--default goes with --as"};
        TRegistry registry;
        openExisting(registry, key);
        const auto value = registry.ReadRaw(name);
        if (!value) throw Failure{QStringLiteral("no such value")};
        printLine(formatValue(*value));
        return ExitOk;
    }
    const bool hasDefault = opts.contains(QStringLiteral("--default"));
    const QString defaultText = opts.value(QStringLiteral("--default"));
    // A read never creates the key it reads from: where it is missing, the
    // section read gives its default, as it would through the base key.
    TRegistry probe;
    probe.SetRoot(key.hive);
    const bool exists = probe.KeyExists(QLatin1Char('\\') + key.path);
    std::optional<TRegIniFile> ini;
    if (exists) ini.emplace(QLatin1Char('\\') + key.path, key.hive);
    if (kind == QLatin1String("text")) {
        printLine(exists ? ini->ReadText(QString(), name, defaultText) : defaultText);
    } else if (kind == QLatin1String("number")) {
        const qint32 fallback = hasDefault ? parseNumber(defaultText) : 0;
        printLine(QString::number(exists ? ini->ReadNumber(QString(), name, fallback) : fallback));
    } else if (kind == QLatin1String("flag")) {
        const bool fallback = hasDefault && parseFlag(defaultText);
        const bool flag = exists ? ini->ReadFlag(QString(), name, fallback) : fallback;
        printLine(flag ? QStringLiteral("true") : QStringLiteral("false"));
    } else if (kind == QLatin1String("date")) {
        const double fallback = hasDefault ? parseDate(defaultText) : 0.0;
        const double stamp = exists ? ini->ReadStamp(QString(), name, fallback) : fallback;
        const QDateTime dateTime = valueToDateTime(stamp);
        if (!dateTime.isValid()) throw Failure{QStringLiteral("the stored date is out of range")};
        printLine(formatDateTime(dateTime));
    } else {
        throw UsageError{"--as takes text, number, flag or date"};
    }
    return ExitOk;
}

int set(const QList<QByteArray> &args)
{
    if (args.size() != 5)
        throw UsageError{"set takes KEY, NAME and one of --text, --number, --flag, --date"};
    const RegistryKeyName key = keyArgument(args, 1);
    const QString name = arg(args, 2);
    const QString kind = arg(args, 3);
    const QString value = arg(args, 4);
    const QStringList kinds{QStringLiteral("--text"), QStringLiteral("--number"),
                            QStringLiteral("--flag"), QStringLiteral("--date")};
    if (!kinds.contains(kind)) throw UsageError{"unknown argument '" + args.at(3) + "'"};
    if (key.path.isEmpty()) throw Failure{QStringLiteral("values are kept in keys below the hive")};
    // Check the value before the key is created for it.
    if (kind == QLatin1String("--number"))
        (void)parseNumber(value);
    else if (kind == QLatin1String("--flag"))
        (void)parseFlag(value);
    else if (kind == QLatin1String("--date"))
        (void)parseDate(value);
    TRegIniFile ini(QLatin1Char('\\') + key.path, key.hive);
    if (kind == QLatin1String("--text"))
        ini.WriteText(QString(), name, value);
    else if (kind == QLatin1String("--number"))
        ini.WriteNumber(QString(), name, parseNumber(value));
    else if (kind == QLatin1String("--flag"))
        ini.WriteFlag(QString(), name, parseFlag(value));
    else
        ini.WriteStamp(QString(), name, parseDate(value));
    return ExitOk;
}

int remove(const QList<QByteArray> &args)
{
    if (args.size() != 2 && args.size() != 3)
        throw UsageError{"delete takes KEY and an optional NAME"};
    const RegistryKeyName key = keyArgument(args, 1);
    TRegistry registry;
    if (args.size() == 3) {
        openExisting(registry, key);
        if (!registry.DropValue(arg(args, 2))) throw Failure{QStringLiteral("no such value")};
        return ExitOk;
    }
    if (key.path.isEmpty()) throw Failure{QStringLiteral("a hive cannot be deleted")};
    registry.SetRoot(key.hive);
    if (!registry.DropKey(QLatin1Char('\\') + key.path))
        throw Failure{QStringLiteral("no such key")};
    return ExitOk;
}

int exportKey(const QList<QByteArray> &args)
{
    if (args.size() != 2) throw UsageError{"export takes one KEY"};
    const RegistryKeyName key = keyArgument(args, 1);
    TRegistry registry;
    openExisting(registry, key);
    exportTree(registry, key.display, [](const QString &section) { writeOut(section.toUtf8()); });
    return ExitOk;
}

// A damaged store moved aside is told whatever the command's outcome.
struct NoticeOnExit
{
    ~NoticeOnExit() { reportSettingsReset(); }
};

int runReg(const QList<QByteArray> &args)
{
    const NoticeOnExit notice;
    try {
        if (args.isEmpty()) throw UsageError{"missing action"};
        const QByteArray action = args.first();
        int code = ExitUsage;
        if (action == "list")
            code = list(args);
        else if (action == "get")
            code = get(args);
        else if (action == "set")
            code = set(args);
        else if (action == "delete")
            code = remove(args);
        else if (action == "export")
            code = exportKey(args);
        else
            throw UsageError{"unknown action '" + action + "'"};
        return code;
    } catch (const UsageError &error) {
        return usageError(kReg, error.problem);
    } catch (const Failure &error) {
        return failure(error.message);
    } catch (const ERegistryException &error) {
        return failure(error.message());
    }
}

} // namespace

} // namespace clarivex::cli
