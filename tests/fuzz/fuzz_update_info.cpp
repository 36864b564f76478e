// Fuzz harness of the update-information text: random texts and mutations of
// real ones go through the parser, the newer test and the address rules,
// whose promises are checked on every run. Built and run under ASan and UBSan
// by run_update_info_fuzz.sh; not part of the test suite.
//
//   fuzz_update_info [seconds] [seed]

#include "core/utilities/update_info.h"
#include "core/utilities/update_release.h"
#include "core/utilities/update_transfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <random>

using namespace clarivex;

namespace {

const QByteArray kSeeds[] = {
    "#version=3.6\r\n#date=10/15/2000\r\n#served=12\n#caption=Update\r\n"
    "#message=[A newer release.\nGet it?]\r\n#redirect=no\r\n#url=https://h/r.deb\r\n"
    "#sha256=0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef\r\n",
    "#DATE=1/5/2001\r#Redirect=YES\r#URL=http://h/page\r",
    "#message=[never closed",
    "#served=-2147483649\n#served=99999999999999999999\n",
    "#url=https://h/..%2F..%2F.bashrc\r#sha256=\n",
};

const char *const kTags[] = {"#version=",  "#date=", "#served=", "#caption=", "#message=[",
                             "#redirect=", "#url=",  "#sha256=", "\r",        "\n",
                             "]",          "/",      "#",        "http://",   "https://",
                             "%2F",        ".."};

[[noreturn]] void broken(const char *promise, const QByteArray &input)
{
    std::fprintf(stderr, "broken promise: %s\ninput (%lld bytes, hex): %s\n", promise,
                 static_cast<long long>(input.size()), input.toHex().constData());
    std::abort();
}

QByteArray randomText(std::mt19937_64 &random)
{
    QByteArray text;
    const int parts = int(random() % 24);
    for (int i = 0; i < parts; ++i) {
        if (random() % 2) {
            text += kTags[random() % std::size(kTags)];
        } else {
            const int length = int(random() % 12);
            for (int j = 0; j < length; ++j)
                text += char(random() % 256);
        }
    }
    return text;
}

QByteArray mutated(QByteArray text, std::mt19937_64 &random)
{
    const int edits = 1 + int(random() % 8);
    for (int i = 0; i < edits; ++i) {
        const qsizetype at = text.isEmpty() ? 0 : qsizetype(random() % text.size());
        switch (random() % 5) {
        case 0:
            if (!text.isEmpty()) text[at] = char(random() % 256);
            break;
        case 1:
            text.insert(at, kTags[random() % std::size(kTags)]);
            break;
        case 2:
            text.remove(at, qsizetype(random() % 16));
            break;
        case 3:
            text.insert(at, text.mid(qsizetype(random() % (text.size() + 1)), 20));
            break;
        default:
            text.truncate(at);
            break;
        }
    }
    return text;
}

void check(const QByteArray &text)
{
    const UpdateInfo info = parseUpdateInfo(text);
    if (info.startsWithHash != text.startsWith('#')) broken("starts with #", text);
    if (info.message.contains(QLatin1Char(']'))) broken("message ends before ]", text);
    for (const QString *value :
         {&info.version, &info.date, &info.caption, &info.redirect, &info.url})
        if (value->contains(QLatin1Char('\r'))) broken("CR ends a value", text);
    if (info.sha256.contains(QLatin1Char('\n')) || info.sha256.contains(QLatin1Char('\r')))
        broken("sha256 is one line", text);
    const UpdateInfo again = parseUpdateInfo(text);
    if (again.url != info.url || again.message != info.message) broken("parse is stable", text);
    const bool newer = isNewerRelease(info, byDate, QStringLiteral("09/26/2000"), QString());
    if (newer && info.date.isEmpty()) broken("no date is never newer", text);
    if (isNewerRelease(info, byNumber, QString(), info.version)) broken("same number", text);
    const QUrl url = secureUpdateUrl(info.url);
    if (url.isValid() && (url.scheme() != QLatin1String("https") || url.host().isEmpty()))
        broken("only https addresses", text);
    if (url.isValid()) {
        const QString name = releaseFileName(url);
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
            broken("a plain file name", text);
    }
    const UpdateAddress split = splitUpdateAddress(info.url);
    if (split.host.contains(QLatin1Char('/'))) broken("host has no slash", text);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const unsigned long long seed =
        argc > 2 ? std::strtoull(argv[2], nullptr, 10) : std::random_device{}();
    std::mt19937_64 random(seed);
    QElapsedTimer clock;
    clock.start();
    long long runs = 0;
    while (clock.elapsed() < seconds * 1000) {
        for (int i = 0; i < 1000; ++i, ++runs) {
            const QByteArray &seed = kSeeds[random() % std::size(kSeeds)];
            check(random() % 3 == 0 ? randomText(random) : mutated(seed, random));
        }
    }
    std::printf("seed %llu: %lld runs in %.1f s, no broken promise\n", seed, runs,
                clock.elapsed() / 1000.0);
    return 0;
}
