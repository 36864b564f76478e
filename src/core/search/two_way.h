#pragma once

// Substring search in linear time, without regard to case: the Two-Way
// algorithm of Crochemore and Perrin over bytes folded through a table, with
// a skip loop in front for the common case.
//
// The skip loop looks, 16 positions at a time, for places where the two
// rarest bytes of the pattern (by how common a byte is in text and programs)
// both sit where they belong; only there does Two-Way compare. It stays on
// only while it pays: once the comparisons it leads to outnumber twice the
// bytes it skipped (plus a little), the rest of the text goes through Two-Way
// alone. Either way a search reads each byte of the text a bounded number of
// times, whatever the pattern: O(n + m).

#include <QByteArray>

#include <array>

namespace clarivex {

class TwoWaySearch
{
public:
    using FoldTable = std::array<uchar, 256>;

    // `folded` is the pattern already folded through `fold`.
    void prepare(const QByteArray &folded, const FoldTable &fold);
    // The first start >= from of a match in text[0, n), or -1.
    [[nodiscard]] qsizetype find(const uchar *text, qsizetype n, qsizetype from) const;

private:
    // The first start >= from (<= last) where both rare bytes are in place, or -1.
    [[nodiscard]] qsizetype nextCandidate(const uchar *text, qsizetype last, qsizetype from) const;
    void choosePrefilter();

    QByteArray m_pattern; // folded
    FoldTable m_fold{};
    qsizetype m_m = 0;
    qsizetype m_ell = -1; // the critical factorisation: x[0..ell] x[ell+1..m-1]
    qsizetype m_period = 1;
    bool m_periodic = false;
    // The skip loop: two positions of the pattern and the raw bytes that fold
    // to the pattern's byte at each.
    bool m_prefilter = false;
    qsizetype m_rare[2] = {0, 0};
    std::array<uchar, 2> m_rareBytes[2] = {};
};

} // namespace clarivex
