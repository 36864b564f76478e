#pragma once

// Folders a walk could not read, told on stderr while it runs: the first
// twenty by name ("clarivex-cli: cannot read FOLDER: REASON"), then, at the
// end, how many there were.

namespace clarivex {
class TKvFindFile;
}

namespace clarivex::cli {

class UnreadableFolderReport
{
public:
    explicit UnreadableFolderReport(TKvFindFile &finder);
    ~UnreadableFolderReport();
    UnreadableFolderReport(const UnreadableFolderReport &) = delete;
    UnreadableFolderReport &operator=(const UnreadableFolderReport &) = delete;

private:
    TKvFindFile &m_finder;
};

} // namespace clarivex::cli
