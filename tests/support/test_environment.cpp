#include "support/test_environment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cstdlib>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace clarivex::test {

namespace {
QString g_root;

void setPath(const char *name, const QString &path)
{
    QDir().mkpath(path);
    qputenv(name, QFile::encodeName(path));
}
} // namespace

TestEnvironment::TestEnvironment()
{
    // A test that starts copies of itself (several writers at once) hands its
    // own temporary home down to them.
    if (qEnvironmentVariableIsSet("CLARIVEX_TEST_INHERIT_HOME")) {
        m_root = qEnvironmentVariable("CLARIVEX_TEST_ROOT");
        g_root = m_root;
        m_inherited = true;
        return;
    }
    QByteArray base = qgetenv("TMPDIR");
    if (base.isEmpty()) base = "/tmp";
    QByteArray templ = base + "/clarivex-test-XXXXXX";
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("cannot create the test folder under " + base.toStdString());
    m_root = QFile::decodeName(templ);
    g_root = m_root;
    qputenv("CLARIVEX_TEST_ROOT", templ);

    setPath("HOME", m_root + "/home");
    setPath("XDG_CONFIG_HOME", m_root + "/home/.config");
    setPath("XDG_DATA_HOME", m_root + "/home/.local/share");
    setPath("XDG_STATE_HOME", m_root + "/home/.local/state");
    setPath("XDG_CACHE_HOME", m_root + "/home/.cache");
    setPath("XDG_RUNTIME_DIR", m_root + "/run");
    ::chmod(QFile::encodeName(m_root + "/run").constData(), 0700);
    setPath("TMPDIR", m_root + "/tmp");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // No test asks an update server but its own on 127.0.0.1.
    qputenv("CLARIVEX_UPDATE_URL", "");
}

TestEnvironment::~TestEnvironment()
{
    if (!m_inherited && qEnvironmentVariableIsEmpty("CLARIVEX_KEEP_TEST_HOME"))
        forceRemoveTree(m_root);
    g_root.clear();
}

QString testRoot()
{
    return g_root;
}

void forceRemoveTree(const QString &path)
{
    if (path.isEmpty()) return;
    ::chmod(QFile::encodeName(path).constData(), 0700);
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ::chmod(QFile::encodeName(it.next()).constData(), 0700);
    QDir(path).removeRecursively();
}

} // namespace clarivex::test
