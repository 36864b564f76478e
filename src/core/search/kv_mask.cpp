#include "core/search/kv_mask.h"

#include <QStringView>
#include <QUtf8StringView>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace clarivex {

namespace {

inline char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

bool hasHighBytes(const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        if (uchar(data[i]) >= 0x80) return true;
    }
    return false;
}

// Lowers into out; returns true when the name holds multi-byte UTF-8
// characters (then "?" steps over a whole character).
bool lowerInto(const char *data, qsizetype size, QByteArray &out)
{
    if (!hasHighBytes(data, size)) {
        out.resize(size);
        char *to = out.data();
        for (qsizetype i = 0; i < size; ++i)
            to[i] = asciiLower(data[i]);
        return false;
    }
    if (QUtf8StringView(data, size).isValidUtf8()) {
        out = QString::fromUtf8(data, size).toLower().toUtf8();
        return true;
    }
    out.resize(size);
    char *to = out.data();
    for (qsizetype i = 0; i < size; ++i)
        to[i] = char(std::tolower(uchar(data[i])));
    return false;
}

// Trims blanks and control characters at both ends.
QByteArray trimmed(const QByteArray &piece)
{
    qsizetype begin = 0;
    qsizetype end = piece.size();
    while (begin < end && uchar(piece[begin]) <= ' ')
        ++begin;
    while (end > begin && uchar(piece[end - 1]) <= ' ')
        --end;
    return piece.mid(begin, end - begin);
}

QByteArray normalised(const QByteArray &mask)
{
    const bool star = mask.contains('*');
    const bool dot = mask.contains('.');
    if (!star && !dot) return '*' + mask + '*';
    if (star && !dot && !mask.endsWith('*')) return mask + '*';
    return mask;
}

} // namespace

void lowerNameBytes(const char *data, qsizetype size, QByteArray &out)
{
    lowerInto(data, size, out);
}

QByteArray lowerName(const QByteArray &name)
{
    QByteArray out;
    lowerInto(name.constData(), name.size(), out);
    return out;
}

TKvMask::TKvMask(const QByteArray &mask) : m_text(mask)
{
    if (std::all_of(mask.begin(), mask.end(), [](char c) { return c == '*'; }) && !mask.isEmpty())
        m_kind = Kind::Any; // "*", "**": a lone pending star matches every name
    else if (mask == "*.*")
        m_kind = Kind::AnyDotted;
    else if (!mask.contains('*') && !mask.contains('?'))
        m_kind = Kind::Exact;
    if (m_kind != Kind::Tokens) return;
    for (qsizetype i = 0; i < mask.size();) {
        if (mask[i] == '*' || mask[i] == '?') {
            m_tokens.push_back({mask[i] == '*' ? Token::Star : Token::Question, i, 1});
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < mask.size() && mask[end] != '*' && mask[end] != '?')
            ++end;
        m_tokens.push_back({Token::Literal, i, end - i});
        i = end;
    }
}

bool TKvMask::matches(const char *name, qsizetype size, bool multiByte) const
{
    switch (m_kind) {
    case Kind::Any:
        return true;
    case Kind::AnyDotted:
        return std::memchr(name, '.', size_t(size)) != nullptr;
    case Kind::Exact:
        return size == m_text.size() && !std::memcmp(name, m_text.constData(), size_t(size));
    case Kind::Tokens:
        break;
    }
    return matchTokens(name, size, multiByte);
}

bool TKvMask::matchTokens(const char *name, qsizetype size, bool multiByte) const
{
    qsizetype p = 0;
    bool pendingStar = false;
    for (const Token &token : m_tokens) {
        switch (token.type) {
        case Token::Star:
            pendingStar = true;
            break;
        case Token::Question:
            ++p; // no test that a character is there
            while (multiByte && p < size && (uchar(name[p]) & 0xC0) == 0x80)
                ++p;
            break;
        case Token::Literal: {
            const char *literal = m_text.constData() + token.offset;
            if (pendingStar) { // bound to the first occurrence: no backtracking
                pendingStar = false;
                if (p > size) return false;
                const void *hit = memmem(name + p, size_t(size - p), literal, size_t(token.size));
                if (!hit) return false;
                p = static_cast<const char *>(hit) - name + token.size;
            } else {
                if (p + token.size > size || std::memcmp(name + p, literal, size_t(token.size)))
                    return false;
                p += token.size;
            }
            break;
        }
        }
    }
    return pendingStar || p == size;
}

TKvMaskList::TKvMaskList()
{
    setBytes(QByteArray());
}

void TKvMaskList::setText(const QString &text)
{
    setBytes(text.toUtf8());
}

void TKvMaskList::setBytes(const QByteArray &text)
{
    m_masks.clear();
    if (text.isEmpty()) {
        m_masks.emplace_back(QByteArrayLiteral("*"));
        m_everything = true;
        return;
    }
    QByteArray s = text;
    s.replace(',', ';');
    if (!s.endsWith(';')) s += ';';
    QList<QByteArray> pieces = s.split(';');
    pieces.removeLast(); // after the final ";"
    QList<QByteArray> masks;
    QByteArray lowered;
    for (const QByteArray &piece : pieces) {
        const QByteArray trimmedPiece = trimmed(piece);
        lowerInto(trimmedPiece.constData(), trimmedPiece.size(), lowered);
        masks << normalised(lowered);
    }
    std::sort(masks.begin(), masks.end());
    m_everything = false;
    for (const QByteArray &mask : masks) {
        m_masks.emplace_back(mask);
        m_everything = m_everything || m_masks.back().matchesEverything();
    }
}

QString TKvMaskList::text() const
{
    if (m_masks.empty()) return QStringLiteral("*.*");
    return QString::fromUtf8(masks().join(';'));
}

QList<QByteArray> TKvMaskList::masks() const
{
    QList<QByteArray> list;
    for (const TKvMask &mask : m_masks)
        list << mask.text();
    return list;
}

bool TKvMaskList::MatchesAnyMask(const char *name, qsizetype size, QByteArray &scratch) const
{
    if (size == 0 || m_everything) return true;
    const bool multiByte = lowerInto(name, size, scratch);
    for (const TKvMask &mask : m_masks) {
        if (mask.matches(scratch.constData(), scratch.size(), multiByte)) return true;
    }
    return false;
}

bool TKvMaskList::MatchesAnyMask(const QByteArray &name) const
{
    QByteArray scratch;
    return MatchesAnyMask(name.constData(), name.size(), scratch);
}

bool MatchesMask(const QByteArray &name, const QByteArray &mask)
{
    const bool multiByte = hasHighBytes(name.constData(), name.size()) &&
                           QUtf8StringView(name.constData(), name.size()).isValidUtf8();
    return TKvMask(mask).matches(name.constData(), name.size(), multiByte);
}

} // namespace clarivex
