#include "core/scanners/app_rule_scan.h"

#include "core/base/file_facts.h"
#include "core/cleaning/in_use.h"
#include "core/cleaning/unique_fd.h"
#include "core/search/kv_mask.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace clarivex {

namespace {

using cleaning::UniqueFd;

constexpr int kMaxDepth = 64;
constexpr qint64 kNanosPerDay = 86400LL * 1000000000LL;

QByteArray withSlash(QByteArray folder)
{
    if (!folder.endsWith('/')) folder += '/';
    return folder;
}

QByteArray readSmallFile(int dirFd, const char *name, qint64 limit)
{
    const UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit)
        return {};
    QByteArray data(qsizetype(st.st_size), Qt::Uninitialized);
    const ssize_t got = ::read(fd.get(), data.data(), size_t(data.size()));
    return got < 0 ? QByteArray() : data.left(got);
}

// The names of a folder's entries, without "." and "..".
QList<QByteArray> entryNames(int dirFd)
{
    QList<QByteArray> names;
    const int copy = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0) return names;
    DIR *dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return names;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..") names << name;
    }
    ::closedir(dir);
    return names;
}

UniqueFd openFolderBelow(int dirFd, const char *name)
{
    return UniqueFd(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool isElfCore(int dirFd, const char *name)
{
    const UniqueFd fd(
        ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOATIME));
    const UniqueFd fallback(fd.valid() ? -1
                                       : ::openat(dirFd, name,
                                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const int use = fd.valid() ? fd.get() : fallback.get();
    unsigned char head[18];
    if (use < 0 || ::pread(use, head, sizeof head, 0) != ssize_t(sizeof head)) return false;
    if (head[0] != 0x7f || head[1] != 'E' || head[2] != 'L' || head[3] != 'F') return false;
    const int type = head[5] == 2 ? (head[16] << 8 | head[17]) : (head[17] << 8 | head[16]);
    return type == 4; // ET_CORE
}

// "DeletionDate=2026-11-02T10:20:30" of a ".trashinfo", as local time.
std::optional<qint64> deletionTime(const QByteArray &info)
{
    for (const QByteArray &line : info.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.startsWith("DeletionDate=")) continue;
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(trimmed.mid(13)),
                                                     Qt::ISODate);
        if (!when.isValid()) return std::nullopt;
        return dateTimeToFileTime(when);
    }
    return std::nullopt;
}

QByteArray realFolder(const QByteArray &path)
{
    return QFile::encodeName(QDir(QFile::decodeName(path)).canonicalPath());
}

bool isBelow(const QByteArray &path, const QByteArray &folder)
{
    return !folder.isEmpty() && (path == folder || path.startsWith(withSlash(folder)));
}

} // namespace

AppRuleBases AppRuleBases::fromEnvironment()
{
    AppRuleBases bases;
    bases.home = QFile::encodeName(QDir::homePath());
    bases.cache = QFile::encodeName(
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation));
    bases.data =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return bases;
}

QSet<QString> runningProgramNames(const QByteArray &procRoot)
{
    QSet<QString> names;
    const UniqueFd proc(::open(procRoot.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!proc.valid()) return names;
    for (const QByteArray &pid : entryNames(proc.get())) {
        if (pid.isEmpty() || !std::isdigit(uchar(pid[0]))) continue;
        const UniqueFd process = openFolderBelow(proc.get(), pid.constData());
        if (!process.valid()) continue;
        const QByteArray comm = readSmallFile(process.get(), "comm", 4096).trimmed();
        if (!comm.isEmpty()) names.insert(QString::fromUtf8(comm));
        // /proc files report a size of 0: read the command line directly.
        const UniqueFd cmd(::openat(process.get(), "cmdline", O_RDONLY | O_CLOEXEC));
        char buffer[4096];
        const ssize_t got = cmd.valid() ? ::read(cmd.get(), buffer, sizeof buffer - 1) : -1;
        if (got > 0) {
            buffer[got] = 0;
            const QByteArray first(buffer); // up to the first NUL
            names.insert(QString::fromUtf8(first.mid(first.lastIndexOf('/') + 1)));
        }
    }
    return names;
}

struct AppRuleScan::Walk
{
    Walk(AppRuleScan &s, const AppRule &r, int index) : scan(s), rule(r), ruleIndex(index) {}

    AppRuleScan &scan;
    const AppRule &rule;
    int ruleIndex;
    TKvMaskList masks;
    const cleaning::OpenFiles *open = nullptr;
    QSet<std::pair<quint64, quint64>> excluded;
    QSet<std::pair<quint64, quint64>> walked; // the matched folders
    dev_t device = 0;

    bool stopped() const { return scan.stopRequested && scan.stopRequested(); }

    bool oldEnough(qint64 time) const
    {
        return rule.minAgeDays == 0 || scan.now - time >= qint64(rule.minAgeDays) * kNanosPerDay;
    }

    void report(int dirFd, const QByteArray &folder, const QByteArray &name,
                const struct statx &st, qint64 age)
    {
        if (!masks.MatchesAnyMask(name) || qint64(st.stx_size) < rule.minSize || !oldEnough(age))
            return;
        if (open && open->isOpen(makedev(st.stx_dev_major, st.stx_dev_minor), st.stx_ino)) return;
        if (rule.content == AppRuleContent::ElfCore && !isElfCore(dirFd, name.constData())) return;
        TFindData data;
        data.name = name;
        data.size = qint64(st.stx_size);
        data.lastWriteTime = nanoseconds(st.stx_mtime);
        data.lastAccessTime = nanoseconds(st.stx_atime);
        data.creationTime = (st.stx_mask & STATX_BTIME) ? nanoseconds(st.stx_btime)
                                                        : nanoseconds(st.stx_ctime);
        data.attributes = fileAttributes(st, name.constData(), ::geteuid());
        data.folderFd = dirFd;
        qint64 size = 0;
        if (!scan.addFile || !scan.addFile(folder, data, ruleIndex, size)) return;
        scan.CandidateKeys.append(folder + name + '/');
        scan.FoundByteTotal += size;
        ++scan.FoundFileCount;
    }

    // Every file of the folder (and below it when the rule recurses).
    void files(int dirFd, const QByteArray &folder, int depth)
    {
        if (stopped()) return;
        if (scan.status) scan.status(1, QFile::decodeName(folder));
        for (const QByteArray &name : entryNames(dirFd)) {
            struct statx st;
            if (::statx(dirFd, name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                        STATX_BASIC_STATS | STATX_BTIME, &st) != 0)
                continue;
            if (S_ISREG(st.stx_mode)) {
                report(dirFd, folder, name, st, nanoseconds(st.stx_mtime));
            } else if (S_ISDIR(st.stx_mode) && rule.recursive && depth < kMaxDepth &&
                       makedev(st.stx_dev_major, st.stx_dev_minor) == device &&
                       !excluded.contains({quint64(device), quint64(st.stx_ino)})) {
                const UniqueFd below = openFolderBelow(dirFd, name.constData());
                if (below.valid()) files(below.get(), folder + name + '/', depth + 1);
            }
        }
    }

    // Trash items (top level of "files") deleted at least the rule's age ago.
    void trashItems(int trashFd, const QByteArray &folder)
    {
        const UniqueFd filesFd = openFolderBelow(trashFd, "files");
        const UniqueFd infoFd = openFolderBelow(trashFd, "info");
        if (!filesFd.valid() || !infoFd.valid()) return;
        for (const QByteArray &name : entryNames(filesFd.get())) {
            struct statx st;
            if (::statx(filesFd.get(), name.constData(), AT_SYMLINK_NOFOLLOW,
                        STATX_BASIC_STATS | STATX_BTIME, &st) != 0 ||
                !S_ISREG(st.stx_mode))
                continue; // folders are never taken whole
            const QByteArray info = readSmallFile(
                infoFd.get(), (name + ".trashinfo").constData(), 64 * 1024);
            const std::optional<qint64> deleted = deletionTime(info);
            if (!deleted) continue; // no record of when: not ours to judge
            report(filesFd.get(), folder + "files/", name, st, *deleted);
        }
    }

    // The folders that `parts` name below the open folder, one at a time.
    void resolve(int dirFd, const QByteArray &folder, const QList<QByteArray> &parts, int next)
    {
        if (stopped()) return;
        if (next == parts.size()) {
            matched(dirFd, folder);
            return;
        }
        const QList<QByteArray> names =
            parts[next] == "*" ? entryNames(dirFd) : QList<QByteArray>{parts[next]};
        for (const QByteArray &name : names) {
            const UniqueFd below = openFolderBelow(dirFd, name.constData());
            if (below.valid()) resolve(below.get(), folder + name + '/', parts, next + 1);
        }
    }

    void matched(int dirFd, const QByteArray &folder)
    {
        struct stat st;
        if (::fstat(dirFd, &st) != 0) return;
        if (excluded.contains({quint64(st.st_dev), quint64(st.st_ino)}) &&
            rule.kind != AppRuleKind::Trash)
            return;
        if (walked.contains({quint64(st.st_dev), quint64(st.st_ino)}))
            return; // named by two patterns: walked once
        walked.insert({quint64(st.st_dev), quint64(st.st_ino)});
        struct stat marker;
        if (!rule.marker.isEmpty() &&
            ::fstatat(dirFd, rule.marker.constData(), &marker, AT_SYMLINK_NOFOLLOW) != 0)
            return; // nothing proves the folder is the application's
        device = st.st_dev;
        if (rule.kind == AppRuleKind::Trash)
            trashItems(dirFd, folder);
        else
            files(dirFd, folder, 0);
    }
};

QString AppRuleScan::guardProblem(const AppRule &rule, const QSet<QString> &running) const
{
    if (rule.rootOnly && !root) return QStringLiteral("only for root");
    for (const QString &program : rule.skipWhileRunning) {
        // The kernel keeps 15 bytes of a command name.
        if (running.contains(program) || running.contains(program.left(15)))
            return QStringLiteral("%1 is running").arg(program);
    }
    return {};
}

void AppRuleScan::run(const QList<AppRule> &rules)
{
    FoundFileCount = 0;
    FoundByteTotal = 0;
    CandidateKeys.clear();
    skipped.clear();
    if (now == 0) now = dateTimeToFileTime(QDateTime::currentDateTimeUtc());
    const QSet<QString> running = runningProgramNames(procRoot);
    std::optional<cleaning::OpenFiles> open;
    QSet<std::pair<quint64, quint64>> excluded;
    for (const QByteArray &folder : excludedFolders) {
        struct stat st;
        if (::stat(folder.constData(), &st) == 0)
            excluded.insert({quint64(st.st_dev), quint64(st.st_ino)});
    }
    const QByteArray home = realFolder(bases.home);
    for (int i = 0; i < rules.size(); ++i) {
        const AppRule &rule = rules[i];
        if (stopRequested && stopRequested()) break;
        if (const QString problem = guardProblem(rule, running); !problem.isEmpty()) {
            skipped << AppRuleSkip{rule.id, problem};
            continue;
        }
        const QByteArray base = rule.base == AppRuleBase::Cache  ? bases.cache
                                : rule.base == AppRuleBase::Data ? bases.data
                                : rule.base == AppRuleBase::Home ? bases.home
                                                                 : systemRoot;
        const QByteArray realBase = realFolder(base);
        if (realBase.isEmpty()) continue; // no such folder: nothing to find
        if (rule.base != AppRuleBase::System && !isBelow(realBase, home)) {
            skipped << AppRuleSkip{rule.id, QStringLiteral("its folder lies outside the home")};
            continue;
        }
        if (rule.skipOpenFiles && !open) open = cleaning::OpenFiles::snapshot(procRoot);
        Walk walk(*this, rule, i);
        walk.open = rule.skipOpenFiles ? &*open : nullptr;
        walk.excluded = excluded;
        walk.masks.setBytes(rule.masks);
        const UniqueFd baseFd(::open(realBase.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!baseFd.valid()) continue;
        for (const QByteArray &pattern : rule.folders) {
            if (pattern == ".") {
                walk.resolve(baseFd.get(), withSlash(realBase), {}, 0);
                continue;
            }
            const bool absolute = pattern.startsWith('/');
            walk.resolve(baseFd.get(), withSlash(realBase), pattern.mid(absolute ? 1 : 0).split('/'),
                         0);
        }
    }
}

} // namespace clarivex
