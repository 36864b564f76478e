// clarivex-cli find: runs the finder once and prints every reported file's
// full path, in the order the finder reported it.

#include "cli/cli_command.h"
#include "cli/unreadable_report.h"
#include "core/base/formats.h"
#include "core/search/kv_find_file.h"

#include <QString>

#include <limits>
#include <optional>

namespace clarivex::cli {

namespace {

int runFind(const QList<QByteArray> &args);

const CliCommand kFind{
    "find",
    "clarivex-cli find [--mask TEXT] [--attributes N] [--min-size BYTES] [--max-size BYTES] "
    "[--from dd-MM-yyyy] [--to dd-MM-yyyy] [--text TEXT] [--no-recurse] [--null] [--count] FOLDER",
    runFind};
const CliCommandRegistrar kRegistrar(kFind);

std::optional<qint64> parseInteger(const QByteArray &text, qint64 low, qint64 high)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < low || value > high) return std::nullopt;
    return value;
}

// Paths go out in large blocks: a walk may report millions.
class PathWriter
{
public:
    explicit PathWriter(char separator) : m_separator(separator)
    {
        m_buffer.reserve(kFlushAt + 4096);
    }
    ~PathWriter() { flush(); }
    void add(const QByteArray &folder, const QByteArray &name)
    {
        m_buffer += folder;
        m_buffer += name;
        m_buffer += m_separator;
        if (m_buffer.size() >= kFlushAt) flush();
    }
    void flush()
    {
        writeOut(m_buffer);
        m_buffer.resize(0);
    }

private:
    static constexpr qsizetype kFlushAt = 256 * 1024;
    QByteArray m_buffer;
    char m_separator;
};

struct FindOptions
{
    bool count = false;
    bool null = false;
    QByteArray folder;
};

// Applies one option to the finder; false on a bad option or value.
bool applyOption(TKvFindFile &finder, FindOptions &options, const QList<QByteArray> &args, int &i,
                 QByteArray &problem)
{
    const QByteArray &arg = args[i];
    if (arg == "--count" || arg == "--null" || arg == "--no-recurse") {
        (arg == "--count"  ? options.count
         : arg == "--null" ? options.null
                           : finder.RecurseDirs) = arg != "--no-recurse";
        return true;
    }
    static const QList<QByteArray> kValued{"--mask", "--attributes", "--min-size", "--max-size",
                                           "--from", "--to",         "--text"};
    if (!kValued.contains(arg)) {
        problem = "unknown option '" + arg + "'";
        return false;
    }
    if (i + 1 >= args.size()) {
        problem = arg + " needs a value";
        return false;
    }
    const QByteArray &value = args[++i];
    problem = "bad value for " + arg + ": '" + value + "'";
    constexpr qint64 kLow = std::numeric_limits<qint32>::min();
    constexpr qint64 kHigh = std::numeric_limits<qint32>::max();
    if (arg == "--mask") {
        finder.SetFileMaskBytes(value);
    } else if (arg == "--text") {
        finder.SetFindString(QString::fromUtf8(value));
    } else if (arg == "--attributes") {
        const auto number = parseInteger(value, 0, 63);
        if (!number) return false;
        finder.SetAttributes(int(*number));
    } else if (arg == "--min-size" || arg == "--max-size") {
        const auto number = parseInteger(value, kLow, kHigh);
        if (!number) return false;
        (arg == "--min-size" ? finder.MinSize : finder.MaxSize) = qint32(*number);
    } else {
        const auto date = parseShortDate(QString::fromUtf8(value));
        if (!date) return false;
        if (arg == "--from")
            finder.SetDateFrom(dateToValue(*date));
        else
            finder.SetDateTo(dateToValue(*date));
    }
    problem.clear();
    return true;
}

int runFind(const QList<QByteArray> &args)
{
    TKvFindFile finder;
    FindOptions options;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QByteArray &arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.startsWith("--")) {
            QByteArray problem;
            if (!applyOption(finder, options, args, i, problem)) return usageError(kFind, problem);
        } else if (options.folder.isEmpty() && !arg.isEmpty()) {
            options.folder = arg;
        } else {
            return usageError(kFind, "one FOLDER expected");
        }
    }
    if (options.folder.isEmpty()) return usageError(kFind, "FOLDER missing");

    qint64 found = 0;
    PathWriter writer(options.null ? '\0' : '\n');
    if (options.count) {
        finder.OnAddFile = [&found](const QByteArray &, const TFindData &, bool &) { ++found; };
    } else {
        finder.OnAddFile = [&writer](const QByteArray &Path, const TFindData &Data, bool &) {
            writer.add(Path, Data.name);
        };
    }
    bool complete = false;
    {
        const UnreadableFolderReport unreadable(finder);
        complete = finder.Execute(options.folder);
        writer.flush();
    }
    if (options.count) writeOut(QByteArray::number(found) + '\n');
    return complete ? ExitOk : ExitFailed;
}

} // namespace

} // namespace clarivex::cli
