#include "core/base/utf8_text.h"

namespace clarivex {

namespace {
// The length of the well-formed character at `i`, or 0.
int characterLength(const QByteArray &b, qsizetype i)
{
    const auto at = [&](qsizetype k) { return k < b.size() ? uchar(b[k]) : 0u; };
    const uint c = at(i);
    const auto continuation = [&](qsizetype k, uint low = 0x80, uint high = 0xBF) {
        const uint v = at(k);
        return v >= low && v <= high;
    };
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return continuation(i + 1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const uint low = c == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        const uint high = c == 0xED ? 0x9F : 0xBF; // no surrogates
        return continuation(i + 1, low, high) && continuation(i + 2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const uint low = c == 0xF0 ? 0x90 : 0x80;
        const uint high = c == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
        return continuation(i + 1, low, high) && continuation(i + 2) && continuation(i + 3) ? 4 : 0;
    }
    return 0;
}
} // namespace

bool isValidUtf8(const QByteArray &bytes)
{
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = characterLength(bytes, i);
        if (!length) return false;
        i += length;
    }
    return true;
}

QString decodeWithReplacement(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = characterLength(bytes, i);
        if (length) {
            text += QString::fromUtf8(bytes.constData() + i, length);
            i += length;
        } else {
            text += QChar(0xFFFD);
            ++i;
        }
    }
    return text;
}

} // namespace clarivex
