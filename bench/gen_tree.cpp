// clarivex-gen-tree: writes a reproducible synthetic folder tree for the
// benchmarks. The same seed and file count always give the same names, sizes,
// contents, attributes and links.
//
//   clarivex-gen-tree [--seed N] [--files N] OUTDIR
//
// About N files in N/10 folders, nested up to depth 8; mostly small text files,
// some medium ones and a few large ones; temporary-looking names of every
// factory group among them (in mixed case), hidden and read-only files, names
// that are not UTF-8, symbolic links to files, to folders, broken and looping
// ones, and a few FIFOs. Some files carry the marker text "clarivex needle"
// (in varying case) for the content-search benchmark.
//
// The tree is written to OUTDIR.partial and renamed to OUTDIR when complete,
// so an existing OUTDIR is always a finished tree.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast and identical on every platform and compiler.
class Random
{
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    uint64_t below(uint64_t n) { return n ? next() % n : 0; }
    uint64_t between(uint64_t lo, uint64_t hi) { return lo + below(hi - lo + 1); }
    bool chance(unsigned perMille) { return below(1000) < perMille; }

private:
    uint64_t m_state;
};

const char *const kWords[] = {
    "alpha",   "report", "data",    "notes",  "image",   "budget", "draft",   "summary",
    "photo",   "backup", "config",  "readme", "module",  "index",  "archive", "invoice",
    "letter",  "setup",  "project", "list",   "chapter", "scan",   "track",   "sample",
    "release", "build",  "cache",   "video",  "sheet",   "plan",   "memo",    "log"};
const char *const kExtensions[] = {"txt",  "doc", "pdf",  "jpg", "png", "c",   "h",  "cpp",
                                   "html", "xml", "json", "dat", "ini", "csv", "md", "log"};

// Names in the style of the six factory file groups, and a few that shell
// globbing and the finder's matcher judge differently ("x.tmp.tmp", "x.b.cd~").
const char *const kTempStyles[] = {
    "%s.tmp",         "~%s.tmp",      "%s.~mp",      "~%s.doc",      "%s.do~",     "%s.ab$",
    "%s.^01",         "%s.bak",       "%s.old",      "chklist.%s",   "%s.chk",     "file%04u._dd",
    "%s.gid",         "%s.fts",       "%s.ftg",      "mscreate.dir", "%s.---",     "%s.log.txt",
    "bootlog.prv",    "modemdet.txt", "suhdlog.dat", "system.1st",   "%s.tmp.tmp", "%s.b.cd~",
    "%s.bak.old.bak", "file%02u._dd", "%s.t~",       "%s.x.^y"};

const char kNeedle[] = "clarivex needle";

struct Folder
{
    std::string path; // relative to the root, "" for the root
    int depth;
};

struct Options
{
    uint64_t seed = 1;
    uint64_t files = 200000;
    std::string outDir;
};

[[noreturn]] void fail(const std::string &what)
{
    std::fprintf(stderr, "clarivex-gen-tree: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

void usage()
{
    std::fprintf(stderr, "usage: clarivex-gen-tree [--seed N] [--files N] OUTDIR\n");
    std::exit(2);
}

Options parseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--seed" || arg == "--files") && i + 1 < argc) {
            char *end = nullptr;
            const unsigned long long value = std::strtoull(argv[++i], &end, 10);
            if (!end || *end) usage();
            (arg == "--seed" ? options.seed : options.files) = value;
        } else if (!arg.empty() && arg[0] != '-' && options.outDir.empty()) {
            options.outDir = arg;
        } else {
            usage();
        }
    }
    if (options.outDir.empty() || options.files == 0) usage();
    while (options.outDir.size() > 1 && options.outDir.back() == '/')
        options.outDir.pop_back();
    return options;
}

// A pool of word text that every file's content is cut from. It never holds
// the needle, so a file holds it only where it was put on purpose.
std::string makeTextPool(Random &random)
{
    std::string pool;
    pool.reserve(4u << 20);
    while (pool.size() < (4u << 20)) {
        pool += kWords[random.below(std::size(kWords))];
        pool += random.chance(80) ? '\n' : ' ';
    }
    return pool;
}

std::string word(Random &random)
{
    return kWords[random.below(std::size(kWords))];
}

void mixCase(Random &random, std::string &text)
{
    const uint64_t style = random.below(4);
    for (char &c : text) {
        if (c < 'a' || c > 'z') continue;
        if (style == 1 || (style == 2 && random.chance(500))) c = char(c - 'a' + 'A');
    }
}

std::string fileName(Random &random, uint64_t serial)
{
    char buffer[128];
    const std::string base = word(random) + "_" + std::to_string(serial);
    std::string name;
    if (random.chance(120)) {
        const char *style = kTempStyles[random.below(std::size(kTempStyles))];
        if (std::strstr(style, "%0"))
            std::snprintf(buffer, sizeof buffer, style, unsigned(serial % 10000));
        else if (std::strstr(style, "%s"))
            std::snprintf(buffer, sizeof buffer, style, base.c_str());
        else
            std::snprintf(buffer, sizeof buffer, "%s", style);
        name = buffer;
        mixCase(random, name);
    } else {
        name = base + "." + kExtensions[random.below(std::size(kExtensions))];
        if (random.chance(50)) mixCase(random, name);
    }
    if (random.chance(20)) name = "." + name;                            // hidden
    if (random.chance(3)) name.insert(name.find('_') + 1, "\xE9t\xE9_"); // Latin-1 bytes: not UTF-8
    return name;
}

uint64_t fileSize(Random &random)
{
    const uint64_t roll = random.below(1000);
    if (roll < 750) return random.below(2048);
    if (roll < 970) return random.between(2048, 16 << 10);
    return random.between(16 << 10, 128 << 10);
}

void writeAll(int fd, const char *data, size_t size, const std::string &path)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            fail("write " + path);
        }
        data += written;
        size -= size_t(written);
    }
}

// False when the name is taken already (fixed names such as "bootlog.prv").
bool writeFile(Random &random, const std::string &pool, const std::string &path, uint64_t size,
               bool readOnly)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST) return false;
    if (fd < 0) fail("create " + path);
    // Roughly one file in fifty holds the needle, at a random place.
    const bool needle = size >= (1u << 10) && random.chance(20);
    const uint64_t needleAt = needle ? random.below(size - sizeof kNeedle + 1) : size;
    std::string text;
    uint64_t done = 0;
    while (done < size) {
        const uint64_t chunk = std::min<uint64_t>(size - done, 1u << 20);
        const uint64_t from = random.below(pool.size() - chunk);
        text.assign(pool, from, chunk);
        if (needleAt >= done && needleAt < done + chunk) {
            std::string marker = kNeedle;
            mixCase(random, marker);
            // Kept inside this chunk: it straddles nothing.
            const uint64_t at = std::min<uint64_t>(needleAt - done, chunk - marker.size());
            text.replace(at, marker.size(), marker);
        }
        writeAll(fd, text.data(), text.size(), path);
        done += chunk;
    }
    ::close(fd);
    if (readOnly && ::chmod(path.c_str(), 0444) != 0) fail("chmod " + path);
    return true;
}

std::vector<Folder> makeFolders(Random &random, const std::string &root, uint64_t count)
{
    std::vector<Folder> folders{{std::string(), 0}};
    folders.reserve(count);
    while (folders.size() < count) {
        // Prefer recent folders as parents so that the tree grows deep as well as wide.
        const uint64_t size = folders.size();
        const uint64_t pick = random.chance(600)
                                  ? size - 1 - random.below(std::min<uint64_t>(size, 16))
                                  : random.below(size);
        const Folder &parent = folders[pick];
        if (parent.depth >= 8) continue;
        std::string name = word(random) + "_" + std::to_string(size);
        if (random.chance(30)) name = "." + name;
        if (random.chance(50)) mixCase(random, name);
        Folder folder{parent.path + "/" + name, parent.depth + 1};
        if (::mkdir((root + folder.path).c_str(), 0755) != 0) fail("mkdir " + root + folder.path);
        folders.push_back(std::move(folder));
    }
    return folders;
}

// "../" once per level: links are relative, so the tree may be moved.
std::string up(int depth)
{
    std::string text = "./";
    for (int i = 0; i < depth; ++i)
        text += "../";
    return text;
}

void makeLinks(Random &random, const std::string &root, const std::vector<Folder> &folders,
               const std::vector<std::string> &files, uint64_t count)
{
    for (uint64_t i = 0; i < count; ++i) {
        const Folder &where = folders[random.below(folders.size())];
        const std::string link = root + where.path + "/link_" + std::to_string(i);
        std::string target;
        switch (random.below(5)) {
        case 0: // to a folder: never entered
        {
            const std::string &to = folders[random.below(folders.size())].path;
            target = up(where.depth) + (to.empty() ? std::string() : to.substr(1));
        } break;
        case 1: // broken
            target = "missing_" + std::to_string(i) + ".tmp";
            break;
        case 2: // a loop back to its own folder
            target = ".";
            break;
        default: // to a file
            target = up(where.depth) + files[random.below(files.size())].substr(1);
            break;
        }
        const std::string name = link + (i % 7 == 0 ? ".tmp" : "");
        if (::symlink(target.c_str(), name.c_str()) != 0) fail("symlink " + name);
    }
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv);
    const std::string root = options.outDir + ".partial";
    struct stat st;
    if (::stat(options.outDir.c_str(), &st) == 0) {
        std::fprintf(stderr, "clarivex-gen-tree: %s exists already\n", options.outDir.c_str());
        return 1;
    }
    if (::mkdir(root.c_str(), 0755) != 0) fail("mkdir " + root + " (remove a stale one first)");

    Random random(options.seed);
    const std::string pool = makeTextPool(random);
    const std::vector<Folder> folders =
        makeFolders(random, root, std::max<uint64_t>(1, options.files / 10));

    std::vector<std::string> files;
    files.reserve(options.files);
    uint64_t bytes = 0;
    for (uint64_t serial = 0; serial < options.files; ++serial) {
        const Folder &folder = folders[random.below(folders.size())];
        std::string relative = folder.path + "/" + fileName(random, serial);
        const uint64_t size = fileSize(random);
        const bool readOnly = random.chance(40);
        if (!writeFile(random, pool, root + relative, size, readOnly)) {
            relative += "_" + std::to_string(serial);
            if (!writeFile(random, pool, root + relative, size, readOnly))
                fail("create " + root + relative);
        }
        bytes += size;
        files.push_back(relative);
    }
    // A few large files, half of them with the needle somewhere.
    const uint64_t large = std::max<uint64_t>(1, options.files / 25000);
    for (uint64_t i = 0; i < large; ++i) {
        const Folder &folder = folders[random.below(folders.size())];
        const std::string path = root + folder.path + "/large_" + std::to_string(i) + ".dat";
        const uint64_t size = random.between(16u << 20, 48u << 20);
        if (!writeFile(random, pool, path, size, false)) fail("create " + path);
        bytes += size;
    }
    makeLinks(random, root, folders, files, std::max<uint64_t>(1, options.files / 200));
    for (uint64_t i = 0; i < 4; ++i) {
        const std::string fifo = root + folders[random.below(folders.size())].path + "/pipe_" +
                                 std::to_string(i) + ".tmp";
        if (::mkfifo(fifo.c_str(), 0644) != 0) fail("mkfifo " + fifo);
    }
    if (::rename(root.c_str(), options.outDir.c_str()) != 0) fail("rename " + root);
    std::printf("%s: %llu files (%llu large), %zu folders, %llu bytes\n", options.outDir.c_str(),
                (unsigned long long)(options.files + large), (unsigned long long)large,
                folders.size(), (unsigned long long)bytes);
    return 0;
}
