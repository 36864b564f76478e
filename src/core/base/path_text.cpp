#include "core/base/path_text.h"

#include <cstring>

namespace clarivex {

namespace {

// Length of the valid UTF-8 sequence at `p`, or 0 when the byte starts none.
int validSequence(const uchar *p, qsizetype left)
{
    const uchar c = p[0];
    if (c < 0x80) return 1;
    int length = 0;
    uint min = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (left < length) return 0;
    uint value = c & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

inline uchar foldAscii(uchar c)
{
    return (c >= 'a' && c <= 'z') ? uchar(c - 32) : c;
}
inline char16_t foldAscii(char16_t c)
{
    return (c >= 'a' && c <= 'z') ? char16_t(c - 32) : c;
}

} // namespace

QString displayText(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const int length = validSequence(p + i, size - i);
        if (length == 0) break;
        i += length;
    }
    if (i == size) return QString::fromUtf8(bytes);

    QString text = QString::fromUtf8(bytes.first(i));
    qsizetype runStart = i;
    while (i < size) {
        const int length = validSequence(p + i, size - i);
        if (length > 0) {
            i += length;
            continue;
        }
        text += QString::fromUtf8(bytes.sliced(runStart, i - runStart));
        text += QLatin1String("\\x") +
                QString::number(uint(p[i]), 16).toUpper().rightJustified(2, QLatin1Char('0'));
        ++i;
        runStart = i;
    }
    text += QString::fromUtf8(bytes.sliced(runStart, size - runStart));
    return text;
}

int compareFoldedAscii(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = qMin(a.size(), b.size());
    const auto *pa = reinterpret_cast<const uchar *>(a.data());
    const auto *pb = reinterpret_cast<const uchar *>(b.data());
    for (qsizetype i = 0; i < n; ++i) {
        const uchar ca = foldAscii(pa[i]);
        const uchar cb = foldAscii(pb[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int comparePathPieces(QByteArrayView folderA, QByteArrayView nameA, QByteArrayView folderB,
                      QByteArrayView nameB, bool foldCase)
{
    // Stretch by stretch: each ends where a piece of either path ends.
    const QByteArrayView a[2] = {folderA, nameA};
    const QByteArrayView b[2] = {folderB, nameB};
    int ia = 0;
    int ib = 0;
    qsizetype pa = 0;
    qsizetype pb = 0;
    for (;;) {
        while (ia < 2 && pa == a[ia].size()) {
            ++ia;
            pa = 0;
        }
        while (ib < 2 && pb == b[ib].size()) {
            ++ib;
            pb = 0;
        }
        if (ia == 2 || ib == 2) return ia == ib ? 0 : (ia == 2 ? -1 : 1);
        const qsizetype n = qMin(a[ia].size() - pa, b[ib].size() - pb);
        const auto *x = reinterpret_cast<const uchar *>(a[ia].data()) + pa;
        const auto *y = reinterpret_cast<const uchar *>(b[ib].data()) + pb;
        if (!foldCase) {
            const int c = std::memcmp(x, y, size_t(n));
            if (c != 0) return c < 0 ? -1 : 1;
        } else {
            for (qsizetype k = 0; k < n; ++k) {
                if (x[k] == y[k]) continue;
                const uchar cx = foldAscii(x[k]);
                const uchar cy = foldAscii(y[k]);
                if (cx != cy) return cx < cy ? -1 : 1;
            }
        }
        pa += n;
        pb += n;
    }
}

int compareFoldedAscii(const QString &a, const QString &b)
{
    const qsizetype n = qMin(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = foldAscii(a[i].unicode());
        const char16_t cb = foldAscii(b[i].unicode());
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

QByteArray withoutTrailingSlashes(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

} // namespace clarivex
