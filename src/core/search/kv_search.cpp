#include "core/search/kv_search.h"

#include <cctype>

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

    m_twoWay.prepare(m_lowerPattern, m_lower);
}

// The window end (1-based) of the first match whose end is >= e, or 0.
qsizetype TKvSearch::search(const uchar *text, qsizetype n, qsizetype e) const
{
    const qsizetype start = m_twoWay.find(text, n, e - m_m);
    return start < 0 ? 0 : start + m_m;
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
