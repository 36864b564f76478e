#pragma once

#include <QByteArray>
#include <QString>

namespace clarivex::test {

// Moves HOME, the XDG folders and TMPDIR into a fresh temporary folder for the
// life of the object, so that no test reads or writes the real home, Trash,
// autostart folder or settings. Create it first thing in main().
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    QString root() const { return m_root; }

private:
    QString m_root;
    bool m_inherited = false;
};

// The folder the current TestEnvironment made (empty when none).
QString testRoot();

// Removes a tree even where a test left folders without permissions.
void forceRemoveTree(const QString &path);

} // namespace clarivex::test
