#include "cli/unreadable_report.h"

#include "cli/text_encoding.h"
#include "core/search/kv_find_file.h"

#include <cstdio>
#include <cstring>

namespace clarivex::cli {

namespace {
constexpr int kNamed = 20;
}

UnreadableFolderReport::UnreadableFolderReport(TKvFindFile &finder) : m_finder(finder)
{
    finder.UnreadableFolders = 0;
    finder.OnFolderError = [&finder](const QByteArray &path, int error) {
        if (finder.UnreadableFolders <= kNamed)
            std::fprintf(stderr, "clarivex-cli: cannot read %s: %s\n",
                         escapeFieldBytes(path).constData(), std::strerror(error));
    };
}

UnreadableFolderReport::~UnreadableFolderReport()
{
    m_finder.OnFolderError = nullptr;
    if (m_finder.UnreadableFolders > 0)
        std::fprintf(stderr, "clarivex-cli: folders that could not be read: %lld\n",
                     static_cast<long long>(m_finder.UnreadableFolders));
}

} // namespace clarivex::cli
