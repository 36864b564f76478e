// clarivex-cli find: runs the finder once and prints every reported file's
// full path, in the order the finder reported it.

#include "cli/cli_command.h"
#include "cli/stored_settings.h"
#include "cli/unreadable_report.h"
#include "core/base/formats.h"
#include "core/search/kv_find_file.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <limits>
#include <optional>

namespace clarivex::cli {

namespace {

int runFind(const QList<QByteArray> &args);

const CliCommand kFind{
    "find",
    "clarivex-cli find [--mask TEXT] [--attributes SET] [--min-size BYTES] [--max-size BYTES] "
    "[--from dd-MM-yyyy] [--to dd-MM-yyyy] [--text TEXT] [--no-recurse] [--null] [--count] FOLDER",
    runFind,
    "Walks FOLDER and prints the full path of every file that passes the filters, one\n"
    "per line, in the order they were found.\n"
    "  --mask TEXT        name masks separated by \";\" (* and ?), for example '*.tmp;~*'\n"
    "  --attributes SET   the attributes a listed file may have; a file with any other\n"
    "                     is left out. SET is letters or a number (the sum of the bits):\n"
    "                       R  1  read-only (its owner may not write it)\n"
    "                       H  2  hidden (the name begins with \".\")\n"
    "                       S  4  system (owned by another user)\n"
    "                       A 32  archive (every file has it, so SET needs A to list any)\n"
    "                     Default: all. For example A lists only files that are none of\n"
    "                     R, H and S; AH also lists hidden ones.\n"
    "  --min-size, --max-size BYTES   size bounds, inclusive\n"
    "  --from, --to dd-MM-yyyy        modification date bounds\n"
    "  --text TEXT        only files whose content holds TEXT\n"
    "  --no-recurse       FOLDER alone, not the folders below it\n"
    "  --null             end each path with a NUL byte instead of a line end\n"
    "  --count            print only the number of files found\n"
    "Exit status 1 when FOLDER is missing or not a folder, or a folder could not be read.\n"};
const CliCommandRegistrar kRegistrar(kFind);

// The attribute letters R, H, S, A (either case, in any order), or a number 0..63.
std::optional<int> parseAttributes(const QByteArray &text)
{
    static constexpr struct
    {
        char letter;
        int bit;
    } kLetters[] = {{'R', 0x01}, {'H', 0x02}, {'S', 0x04}, {'A', 0x20}};
    if (text.isEmpty()) return std::nullopt;
    if (!std::isdigit(static_cast<unsigned char>(text.at(0)))) {
        int bits = 0;
        for (const char c : text) {
            const char upper = char(std::toupper(static_cast<unsigned char>(c)));
            const auto *letter = std::find_if(std::begin(kLetters), std::end(kLetters),
                                              [upper](const auto &l) { return l.letter == upper; });
            if (letter == std::end(kLetters)) return std::nullopt;
            bits |= letter->bit;
        }
        return bits;
    }
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > 63) return std::nullopt;
    return value;
}

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
        const auto bits = parseAttributes(value);
        if (!bits) return false;
        finder.SetAttributes(*bits);
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
    if (const int missing = checkFolder(kFind.name, options.folder); missing != ExitOk)
        return missing;

    // The Trash and the backup folders are kept away as in every scan.
    SettingsCatalogue settings;
    int exitCode = ExitOk;
    if (!loadStoredSettings(settings, exitCode)) return exitCode;
    finder.KeptAway = KeptAwayFolders::fromOptions(settings.options);

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
