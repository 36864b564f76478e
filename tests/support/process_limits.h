#pragma once

// Real limits for a test and the processes it starts: a resource limit set
// for a while (children inherit it), the permission checks that root skips
// turned back on for the calling thread, and trees deeper than PATH_MAX.

#include <QByteArray>

#include <sys/resource.h>

namespace clarivex::test {

// Lowers the soft limit of a resource until the object goes.
class ScopedLimit
{
public:
    ScopedLimit(int resource, rlim_t soft);
    ~ScopedLimit();
    ScopedLimit(const ScopedLimit &) = delete;
    ScopedLimit &operator=(const ScopedLimit &) = delete;
    [[nodiscard]] bool ok() const { return m_ok; }

private:
    int m_resource;
    rlimit m_saved{};
    bool m_ok = false;
};

// While it lives, the calling thread is held to file permissions as any user
// is (root's CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH are out of its
// effective set). Nothing changes for a user who is not root.
class PermissionChecksOn
{
public:
    PermissionChecksOn();
    ~PermissionChecksOn();
    PermissionChecksOn(const PermissionChecksOn &) = delete;
    PermissionChecksOn &operator=(const PermissionChecksOn &) = delete;
    [[nodiscard]] bool ok() const { return m_ok; }

private:
    bool m_ok = false;
    bool m_changed = false;
};

// Descriptors the process holds now.
[[nodiscard]] int openDescriptorCount();

// Makes `levels` nested folders named `name` below `root` with mkdirat, each
// relative to the one above it; every `fileEvery` levels (and at the bottom)
// a file "f<level>.tmp" holding one byte. Returns how many files it made.
int buildDeepTree(const QByteArray &root, int levels, int fileEvery, const QByteArray &name = "d");

// Removes a tree of any depth (paths longer than PATH_MAX included) without
// holding a descriptor per level: it moves the working folder down and up.
void removeDeepTree(const QByteArray &path);

} // namespace clarivex::test
