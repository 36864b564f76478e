#pragma once

// TKvSearch: case-insensitive text search over bytes, in time linear in the
// text and the pattern whatever they hold (Two-Way with a skip loop, see
// two_way.h).
//
// Bytes are compared through a 256-entry table that maps each byte to the
// C library's lower-case form in the current locale: A..Z fold to a..z; in a
// UTF-8 locale the bytes from 0x80 up map to themselves (a byte there is not
// a character of its own), in a single-byte locale they fold as it says.
// Matches do not overlap: after one, the next search starts right after it.

#include "core/search/two_way.h"

#include <QByteArray>

#include <array>
#include <functional>

namespace clarivex {

class TKvSearch
{
public:
    TKvSearch();

    // Stores the pattern and builds both tables.
    void SetPattern(const QByteArray &P);
    [[nodiscard]] const QByteArray &pattern() const { return m_pattern; }

    // 1-based position of the first match in T, 0 if none. An empty pattern
    // never matches.
    qsizetype FindFirst(const QByteArray &T);
    // Continues after the last match; 0 when there is no further one.
    qsizetype FindNext();

    [[nodiscard]] int Count() const { return m_count; }
    [[nodiscard]] bool Found() const { return m_found; }
    [[nodiscard]] qsizetype FoundPos() const { return m_foundPos; }

    // Whether data holds the pattern anywhere. Used on blocks of a file, so
    // it keeps no state and does not pump.
    [[nodiscard]] bool contains(const char *data, qsizetype size) const;

    [[nodiscard]] uchar lower(uchar byte) const { return m_lower[byte]; }
    // Whether the byte (as it folds) occurs in the pattern at all.
    [[nodiscard]] bool patternHolds(uchar byte) const { return m_m > 0 && m_shift[byte] <= m_m; }

    // Called at the start of FindFirst and FindNext ("process pending window
    // messages"); may be empty.
    std::function<void()> Pump;

private:
    // Window end (1-based, as e) of the first match whose end is >= e, or 0.
    [[nodiscard]] qsizetype search(const uchar *text, qsizetype n, qsizetype e) const;

    QByteArray m_pattern;
    QByteArray m_lowerPattern;
    qsizetype m_m = 0;
    QByteArray m_text;
    qsizetype m_n = 0;
    qsizetype m_e = 0; // current window end, 1-based
    int m_count = 0;
    bool m_found = false;
    qsizetype m_foundPos = 0;
    std::array<uchar, 256> m_lower{};
    // Distance from each (folded) byte's last place in the pattern to its
    // end, m + 1 for a byte it does not hold: tells which bytes it holds.
    std::array<qsizetype, 256> m_shift{};
    TwoWaySearch m_twoWay;
};

} // namespace clarivex
