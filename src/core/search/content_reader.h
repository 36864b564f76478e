#pragma once

// The finder's content test: whether an open file holds the search's pattern.
// One buffer serves every file of a walk, so a file costs no allocation.
//
// A file is read in blocks of kBlockSize, each with the pattern's length less
// one byte kept from the block before (a match may straddle two); the pump
// runs after every block. A block that took longer than 20 ms halves the next
// (down to a sixteenth), so that a slow disk still lets the pump run every few
// dozen ms.
//
// Reading stops at the size the file had when it was examined, so a file that
// grows while it is read (or a device swapped in for it) does not keep the
// walk. Holes of a sparse file read as zeros; unless the pattern holds a zero
// byte no match can touch one, and they are skipped.
//
// The size need not be known beforehand. Most files are smaller than a block:
// a first read that comes back short holds the whole file (Linux cuts a read
// of a regular file short only at its end), and the file needs no statx at
// all. Only a file that fills the first block is examined, through its
// descriptor, before it is read on, and only while it is a regular file.

#include <QtGlobal>

#include <sys/stat.h>

#include <functional>
#include <vector>

namespace clarivex {

class TKvSearch;

class ContentReader
{
public:
    static constexpr qsizetype kBlockSize = 128 * 1024;

    // statxMask: what to ask statx for when a file is examined here.
    explicit ContentReader(unsigned statxMask) : m_statxMask(statxMask) {}

    // Whether `file` (open for reading) holds the pattern of `search`. When
    // `statted`, `st` describes the file; else they are filled in here when
    // the file proves longer than one block (statted stays false otherwise).
    [[nodiscard]] bool holds(const TKvSearch &search, int file, struct statx &st, bool &statted,
                             const std::function<void()> &pump);

private:
    // Reads on from pos to the size in st, carry bytes of the previous block
    // at the start of the buffer.
    [[nodiscard]] bool readOn(const TKvSearch &search, int file, const struct statx &st, qint64 pos,
                              qsizetype carry, const std::function<void()> &pump);

    std::vector<char> m_buffer;
    unsigned m_statxMask;
};

} // namespace clarivex
