#include "core/search/kv_search.h"

#include <cctype>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace clarivex {

TKvSearch::TKvSearch()
{
    for (int b = 0; b < 256; ++b)
        m_lower[b] = uchar(std::tolower(b));
    m_shift.fill(1);
}

void TKvSearch::SetPattern(const QByteArray &P)
{
    m_pattern = P;
    m_m = P.size();
    for (int b = 0; b < 256; ++b)
        m_lower[b] = uchar(std::tolower(b));
    m_lowerPattern.resize(m_m);
    std::array<qsizetype, 256> shift;
    shift.fill(m_m + 1);
    for (qsizetype i = 0; i < m_m; ++i) {
        const uchar lowered = m_lower[uchar(P[i])];
        m_lowerPattern[i] = char(lowered);
        shift[lowered] = m_m - i; // the last occurrence wins
    }
    for (int b = 0; b < 256; ++b)
        m_shift[b] = shift[m_lower[b]];

    m_wide = false;
    if (m_m == 0) return;
    // The bytes that fold to a given lower-case byte: the byte itself and,
    // for a letter, its capital. Any more (an odd locale) and the plain loop runs.
    auto foldingTo = [this](uchar lowered, std::array<uchar, 2> &bytes) {
        int count = 0;
        for (int b = 0; b < 256; ++b) {
            if (m_lower[b] != lowered) continue;
            if (count == 2) return false;
            bytes[count++] = uchar(b);
        }
        if (count == 1) bytes[1] = bytes[0];
        return count > 0;
    };
    m_wide = foldingTo(uchar(m_lowerPattern[0]), m_firstBytes) &&
             foldingTo(uchar(m_lowerPattern[m_m - 1]), m_lastBytes);
}

bool TKvSearch::equalsAt(const uchar *text) const
{
    const auto *pattern = reinterpret_cast<const uchar *>(m_lowerPattern.constData());
    for (qsizetype i = 0; i < m_m; ++i) {
        if (m_lower[text[i]] != pattern[i]) return false;
    }
    return true;
}

bool TKvSearch::containsWide(const uchar *text, qsizetype n) const
{
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i first0 = _mm_set1_epi8(char(m_firstBytes[0]));
    const __m128i first1 = _mm_set1_epi8(char(m_firstBytes[1]));
    const __m128i last0 = _mm_set1_epi8(char(m_lastBytes[0]));
    const __m128i last1 = _mm_set1_epi8(char(m_lastBytes[1]));
    for (; i + m_m - 1 + 16 <= n; i += 16) {
        const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        const __m128i tails =
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i + m_m - 1));
        const __m128i headHits =
            _mm_or_si128(_mm_cmpeq_epi8(heads, first0), _mm_cmpeq_epi8(heads, first1));
        const __m128i tailHits =
            _mm_or_si128(_mm_cmpeq_epi8(tails, last0), _mm_cmpeq_epi8(tails, last1));
        unsigned candidates = unsigned(_mm_movemask_epi8(_mm_and_si128(headHits, tailHits)));
        while (candidates) {
            if (equalsAt(text + i + __builtin_ctz(candidates))) return true;
            candidates &= candidates - 1;
        }
    }
#endif
    for (; i + m_m <= n; ++i) {
        if (equalsAt(text + i)) return true;
    }
    return false;
}

qsizetype TKvSearch::search(const uchar *text, qsizetype n, qsizetype e) const
{
    const qsizetype m = m_m;
    const auto *pattern = reinterpret_cast<const uchar *>(m_lowerPattern.constData());
    while (e <= n) {
        const uchar *window = text + (e - m);
        qsizetype i = m - 1;
        while (i >= 0 && m_lower[window[i]] == pattern[i])
            --i;
        if (i < 0) return e;
        // The byte after the window; past the end of the text it counts as 0.
        e += m_shift[e < n ? text[e] : 0];
    }
    return 0;
}

qsizetype TKvSearch::FindFirst(const QByteArray &T)
{
    if (Pump) Pump();
    m_text = T;
    m_n = T.size();
    m_found = false;
    m_foundPos = 0;
    m_count = 0;
    if (m_m == 0 || m_n < m_m) {
        m_e = m_n + 1; // FindNext finds nothing either
        return 0;
    }
    m_e = 0;
    return FindNext();
}

qsizetype TKvSearch::FindNext()
{
    if (Pump) Pump();
    m_found = false;
    m_foundPos = 0;
    if (m_m == 0) return 0;
    m_e += m_m;
    const qsizetype end = search(reinterpret_cast<const uchar *>(m_text.constData()), m_n, m_e);
    if (end == 0) {
        m_e = m_n + 1;
        return 0;
    }
    m_e = end;
    m_found = true;
    ++m_count;
    m_foundPos = end - m_m + 1;
    return m_foundPos;
}

bool TKvSearch::contains(const char *data, qsizetype size) const
{
    if (m_m == 0 || size < m_m) return false;
    return search(reinterpret_cast<const uchar *>(data), size, m_m) != 0;
}

} // namespace clarivex
