// libFuzzer harness for the readers of files that other programs write: .lnk
// shell links, .desktop launchers and Netscape/Firefox prefs.js. Built three
// times, once per reader (FUZZ_READER 0, 1, 2), under AddressSanitizer and
// UndefinedBehaviorSanitizer; run_fuzz.sh builds and runs them. With
// CLARIVEX_FUZZ_SEEDS set to an empty folder, the first run writes a seed
// corpus there, made from the published formats.

#include "core/platform/desktop_entry.h"
#include "core/scanners/shell_link.h"
#include "core/scanners/well_known_folders.h"
#include "support/shell_link_builder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#ifndef FUZZ_READER
#define FUZZ_READER 0
#endif

using namespace clarivex;

namespace {

QList<QByteArray> seeds()
{
    QList<QByteArray> out;
#if FUZZ_READER == 0
    test::ShellLinkSpec local;
    local.localBasePath = QStringLiteral("C:\\Apps\\");
    local.commonPathSuffix = QStringLiteral("gone.exe");
    local.description = QStringLiteral("d");
    local.workingDirectory = QStringLiteral("C:\\");
    local.arguments = QStringLiteral("-a b");
    local.iconLocation = QStringLiteral("x.ico");
    out << test::buildShellLink(local);
    local.unicodeLinkInfo = true;
    local.unicodeStrings = false;
    out << test::buildShellLink(local);
    test::ShellLinkSpec share;
    share.netName = QStringLiteral("\\\\server\\share");
    share.commonPathSuffix = QStringLiteral("a.doc");
    share.idList = false;
    out << test::buildShellLink(share);
    test::ShellLinkSpec relative;
    relative.linkInfo = false;
    relative.relativePath = QStringLiteral("..\\a.txt");
    out << test::buildShellLink(relative);
#elif FUZZ_READER == 1
    out << "[Desktop Entry]\nType=Application\nName=A\nExec=env A=1 \"/opt/a b/run\" %U\n"
           "TryExec=run\nPath=/srv\nComment=x\\sy\\\\z\n[Desktop Action n]\nExec=b\n";
    out << "# c\n[Desktop Entry]\r\nType=Link\r\nURL=file:///tmp/a%20b.pdf\r\nName[de]=x\r\n";
    out << "[Desktop Entry]\nExec=sh -c \"echo \\\"hi\\\" \\$HOME\"\n";
#else
    out << "user_pref(\"browser.cache.directory\", \"C:\\\\NS\\\\Cache\");\n";
    out << "// comment\nuser_pref(\"browser.cache.disk.parent_directory\", "
           "\"/home/a/\\\"c\\\"\");\n"
           "user_pref(\"browser.startup.page\", 1);\n";
    out << "user_pref(\"browser.cache.directory\", \"\");\n";
#endif
    return out;
}

void writeSeeds()
{
    const QByteArray folder = qgetenv("CLARIVEX_FUZZ_SEEDS");
    if (folder.isEmpty()) return;
    QDir dir(QFile::decodeName(folder));
    if (!dir.isEmpty()) return;
    int n = 0;
    for (const QByteArray &seed : seeds()) {
        QFile file(dir.filePath(QStringLiteral("seed-%1").arg(n++)));
        if (file.open(QIODevice::WriteOnly)) file.write(seed);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    writeSeeds();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
#if FUZZ_READER == 0
    ShellLinkData link;
    QString error;
    if (parseShellLink(bytes, link, error) && link.target.size() > 1 << 20) std::abort();
#elif FUZZ_READER == 1
    DesktopEntry entry;
    QString error;
    if (parseDesktopEntry(bytes, entry, error)) {
        QStringList arguments;
        if (splitExec(entry.value(QStringLiteral("Exec")), arguments)) (void)execProgram(arguments);
    }
#else
    static QTemporaryDir profile;
    QFile prefs(profile.filePath(QStringLiteral("prefs.js")));
    if (!prefs.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    prefs.write(bytes);
    prefs.close();
    (void)wellknown::prefsJsString(prefs.fileName(),
                                   QStringLiteral("browser.cache.disk.parent_directory"));
    (void)wellknown::netscapeCacheOfProfile(profile.path());
#endif
    return 0;
}
