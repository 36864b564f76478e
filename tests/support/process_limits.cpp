#include "support/process_limits.h"

#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace clarivex::test {

ScopedLimit::ScopedLimit(int resource, rlim_t soft) : m_resource(resource)
{
    if (::getrlimit(resource, &m_saved) != 0) return;
    rlimit lowered = m_saved;
    lowered.rlim_cur = soft;
    m_ok = ::setrlimit(resource, &lowered) == 0;
}

ScopedLimit::~ScopedLimit()
{
    if (m_ok) ::setrlimit(m_resource, &m_saved);
}

namespace {
constexpr quint32 kDacBits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

bool capabilities(__user_cap_data_struct *data, bool set)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}
} // namespace

PermissionChecksOn::PermissionChecksOn()
{
    __user_cap_data_struct data[2]{};
    if (!capabilities(data, false)) return;
    if ((data[0].effective & kDacBits) == 0) {
        m_ok = true;
        return;
    }
    data[0].effective &= ~kDacBits; // still permitted: the destructor takes them back
    m_ok = m_changed = capabilities(data, true);
}

PermissionChecksOn::~PermissionChecksOn()
{
    if (!m_changed) return;
    __user_cap_data_struct data[2]{};
    if (!capabilities(data, false)) return;
    data[0].effective |= kDacBits;
    (void)capabilities(data, true);
}

int openDescriptorCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

int buildDeepTree(const QByteArray &root, int levels, int fileEvery, const QByteArray &name)
{
    int made = 0;
    int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const auto file = [&](int level) {
        const QByteArray fileName = "f" + QByteArray::number(level) + ".tmp";
        const int f = ::openat(fd, fileName.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (f >= 0 && ::write(f, "x", 1) == 1) ++made;
        if (f >= 0) ::close(f);
    };
    for (int level = 1; fd >= 0 && level <= levels; ++level) {
        if (::mkdirat(fd, name.constData(), 0755) != 0) break;
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        if (fd >= 0 && (level % fileEvery == 0 || level == levels)) file(level);
    }
    if (fd >= 0) ::close(fd);
    return made;
}

namespace {
// Empties the working folder, level by level; no folder stays open.
void emptyHere()
{
    QList<QByteArray> folders;
    if (DIR *dir = ::opendir(".")) {
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..") continue;
            if (::unlinkat(AT_FDCWD, entry->d_name, 0) != 0 && errno == EISDIR) folders << name;
        }
        ::closedir(dir);
    }
    for (const QByteArray &name : folders) {
        ::chmod(name.constData(), 0700);
        if (::chdir(name.constData()) != 0) continue;
        emptyHere();
        if (::chdir("..") != 0) return;
        ::rmdir(name.constData());
    }
}
} // namespace

void removeDeepTree(const QByteArray &path)
{
    const int saved = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::chmod(path.constData(), 0700);
    if (::chdir(path.constData()) == 0) emptyHere();
    if (saved >= 0) {
        (void)::fchdir(saved);
        ::close(saved);
    }
    ::rmdir(path.constData());
}

} // namespace clarivex::test
