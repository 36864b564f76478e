#include "core/search/two_way.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define CLARIVEX_AVX2_SKIP 1
#endif

namespace clarivex {

namespace {

// The start of the maximal suffix of x for the byte order (or its reverse),
// and that suffix's period.
qsizetype maximalSuffix(const uchar *x, qsizetype m, qsizetype &period, bool reversed)
{
    qsizetype ms = -1, j = 0, k = 1;
    period = 1;
    while (j + k < m) {
        const uchar a = x[j + k];
        const uchar b = x[ms + k];
        if (reversed ? a > b : a < b) {
            j += k;
            k = 1;
            period = j - ms;
        } else if (a == b) {
            if (k != period) {
                ++k;
            } else {
                j += period;
                k = 1;
            }
        } else {
            ms = j;
            j = ms + 1;
            k = period = 1;
        }
    }
    return ms;
}

// How common a byte is in text and program files; the skip loop looks for
// the least common bytes of the pattern.
int commonness(uchar b)
{
    static const char letters[] = "etaoinsrhldcumfpgwybvkxjqz";
    if (b >= 'a' && b <= 'z') return 240 - 8 * int(std::strchr(letters, b) - letters);
    switch (b) {
    case ' ':
        return 255;
    case 0:
        return 235;
    case '\n':
    case '\t':
    case '\r':
        return 225;
    case '.':
    case ',':
    case '/':
    case '_':
    case '-':
    case '"':
    case ':':
    case ';':
    case '=':
    case '(':
    case ')':
        return 180;
    default:
        break;
    }
    if (b >= '0' && b <= '9') return 170;
    if (b == 0xff) return 190;
    if (b >= 0x80) return 120;
    return b < 0x20 ? 40 : 90;
}

#ifdef CLARIVEX_AVX2_SKIP
// The skip loop 32 positions at a time, on processors that have AVX2: the
// first start >= c (<= last) with both rare bytes in place, or -1 with c left
// where fewer than 32 starts remain.
__attribute__((target("avx2"))) qsizetype skipAvx2(const uchar *a, const uchar *b, qsizetype &c,
                                                   qsizetype last,
                                                   const std::array<uchar, 2> (&bytes)[2])
{
    const __m256i a0 = _mm256_set1_epi8(char(bytes[0][0]));
    const __m256i a1 = _mm256_set1_epi8(char(bytes[0][1]));
    const __m256i b0 = _mm256_set1_epi8(char(bytes[1][0]));
    const __m256i b1 = _mm256_set1_epi8(char(bytes[1][1]));
    for (; c + 31 <= last; c += 32) {
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(a + c));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b + c));
        const __m256i hitA = _mm256_or_si256(_mm256_cmpeq_epi8(va, a0), _mm256_cmpeq_epi8(va, a1));
        const __m256i hitB = _mm256_or_si256(_mm256_cmpeq_epi8(vb, b0), _mm256_cmpeq_epi8(vb, b1));
        const unsigned hits = unsigned(_mm256_movemask_epi8(_mm256_and_si256(hitA, hitB)));
        if (hits) return c + __builtin_ctz(hits);
    }
    return -1;
}

const bool hasAvx2 = [] {
    __builtin_cpu_init(); // this may run before the library's own constructors
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif

} // namespace

void TwoWaySearch::prepare(const QByteArray &folded, const FoldTable &fold)
{
    m_pattern = folded;
    m_fold = fold;
    m_m = folded.size();
    if (m_m == 0) return;
    const auto *x = reinterpret_cast<const uchar *>(m_pattern.constData());
    qsizetype p = 1, q = 1;
    const qsizetype i = maximalSuffix(x, m_m, p, false);
    const qsizetype j = maximalSuffix(x, m_m, q, true);
    m_ell = i > j ? i : j;
    m_period = i > j ? p : q;
    m_periodic =
        m_period + m_ell + 1 <= m_m && std::memcmp(x, x + m_period, size_t(m_ell + 1)) == 0;
    if (!m_periodic) m_period = std::max(m_ell + 1, m_m - m_ell - 1) + 1;
    choosePrefilter();
}

void TwoWaySearch::choosePrefilter()
{
    const auto *x = reinterpret_cast<const uchar *>(m_pattern.constData());
    qsizetype best[2] = {-1, -1};
    for (qsizetype i = 0; i < m_m; ++i) {
        if (best[0] < 0 || commonness(x[i]) < commonness(x[best[0]])) {
            best[1] = best[0];
            best[0] = i;
        } else if (best[1] < 0 || commonness(x[i]) < commonness(x[best[1]])) {
            best[1] = i;
        }
    }
    if (best[1] < 0) best[1] = best[0];
    m_prefilter = true;
    for (int r = 0; r < 2; ++r) {
        m_rare[r] = best[r];
        int count = 0;
        for (int b = 0; b < 256; ++b) {
            if (m_fold[b] != x[best[r]]) continue;
            if (count == 2) m_prefilter = false; // an odd locale: three bytes fold alike
            if (count < 2) m_rareBytes[r][count] = uchar(b);
            ++count;
        }
        if (count == 0) m_prefilter = false;
        if (count == 1) m_rareBytes[r][1] = m_rareBytes[r][0];
    }
}

qsizetype TwoWaySearch::nextCandidate(const uchar *text, qsizetype last, qsizetype from) const
{
    const uchar *a = text + m_rare[0];
    const uchar *b = text + m_rare[1];
    qsizetype c = from;
#ifdef CLARIVEX_AVX2_SKIP
    if (hasAvx2) {
        const qsizetype found = skipAvx2(a, b, c, last, m_rareBytes);
        if (found >= 0) return found;
    }
#endif
#ifdef __SSE2__
    const __m128i a0 = _mm_set1_epi8(char(m_rareBytes[0][0]));
    const __m128i a1 = _mm_set1_epi8(char(m_rareBytes[0][1]));
    const __m128i b0 = _mm_set1_epi8(char(m_rareBytes[1][0]));
    const __m128i b1 = _mm_set1_epi8(char(m_rareBytes[1][1]));
    for (; c + 15 <= last; c += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + c));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + c));
        const __m128i hitA = _mm_or_si128(_mm_cmpeq_epi8(va, a0), _mm_cmpeq_epi8(va, a1));
        const __m128i hitB = _mm_or_si128(_mm_cmpeq_epi8(vb, b0), _mm_cmpeq_epi8(vb, b1));
        const unsigned hits = unsigned(_mm_movemask_epi8(_mm_and_si128(hitA, hitB)));
        if (hits) return c + __builtin_ctz(hits);
    }
#endif
    for (; c <= last; ++c) {
        if ((a[c] == m_rareBytes[0][0] || a[c] == m_rareBytes[0][1]) &&
            (b[c] == m_rareBytes[1][0] || b[c] == m_rareBytes[1][1]))
            return c;
    }
    return -1;
}

qsizetype TwoWaySearch::find(const uchar *text, qsizetype n, qsizetype from) const
{
    const qsizetype m = m_m;
    if (m == 0 || from < 0 || n - from < m) return -1;
    const auto *x = reinterpret_cast<const uchar *>(m_pattern.constData());
    const FoldTable &fold = m_fold;
    const qsizetype last = n - m; // the last start
    const qsizetype ell = m_ell;
    bool prefilter = m_prefilter;
    qsizetype skipped = 0, work = 0; // what the skip loop saved, and what it cost
    qsizetype j = from;
    qsizetype memory = -1;
    while (j <= last) {
        if (prefilter && memory < 0) {
            const qsizetype c = nextCandidate(text, last, j);
            if (c < 0) return -1;
            skipped += c - j;
            j = c;
        }
        const uchar *y = text + j;
        // The right part, left to right.
        qsizetype i = std::max(ell, memory) + 1;
        while (i < m && fold[y[i]] == x[i])
            ++i;
        work += i - ell;
        if (i < m) {
            j += i - ell;
            memory = -1;
        } else {
            // The left part, right to left.
            const qsizetype stop = m_periodic ? memory : -1;
            i = ell;
            while (i > stop && fold[y[i]] == x[i])
                --i;
            work += ell - i;
            if (i <= stop) return j;
            j += m_period;
            memory = m_periodic ? m - m_period - 1 : -1;
        }
        if (prefilter && work > 2 * skipped + 4096) prefilter = false; // it does not pay
    }
    return -1;
}

} // namespace clarivex
