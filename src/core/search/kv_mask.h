#pragma once

// Name masks of the finder: the list of masks that `FileMask` is cut into and
// the matcher that tests a file name against them.
//
// Masks and names are compared as lower-case bytes. The matcher does not
// backtrack: a literal after "*" binds to its first occurrence, so '*.tmp'
// does not match 'a.tmp.tmp' (shell globbing would). "?" steps over one
// character without demanding that one is there; in a UTF-8 name one
// character may be several bytes.

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

namespace clarivex {

// Lower-cases a name or mask the way the locale does: ASCII in place, valid
// UTF-8 by its characters, any other byte through the C library's tolower.
void lowerNameBytes(const char *data, qsizetype size, QByteArray &out);
[[nodiscard]] QByteArray lowerName(const QByteArray &name);

// One normalised mask, cut into tokens once when the list is built.
class TKvMask
{
public:
    explicit TKvMask(const QByteArray &mask);

    [[nodiscard]] const QByteArray &text() const { return m_text; }
    [[nodiscard]] bool matchesEverything() const { return m_kind == Kind::Any; }
    // Name must be lower case already; multiByte: it holds UTF-8 characters
    // of more than one byte.
    [[nodiscard]] bool matches(const char *name, qsizetype size, bool multiByte) const;

private:
    enum class Kind { Any, AnyDotted, Exact, Tokens };
    struct Token
    {
        enum Type { Star, Question, Literal } type;
        qsizetype offset = 0; // literal: into m_text
        qsizetype size = 0;
    };

    [[nodiscard]] bool matchTokens(const char *name, qsizetype size, bool multiByte) const;

    QByteArray m_text;
    Kind m_kind = Kind::Tokens;
    std::vector<Token> m_tokens;
};

// The normalised, sorted mask list. Built from the text of `FileMask`.
class TKvMaskList
{
public:
    TKvMaskList(); // one mask, "*"

    void setText(const QString &text);
    void setBytes(const QByteArray &text); // raw bytes, e.g. from the command line
    // The masks joined with ";" in list order ("*.*" for an empty list).
    [[nodiscard]] QString text() const;
    [[nodiscard]] QList<QByteArray> masks() const;
    // True when every name matches (a "*" mask), so names need no test.
    [[nodiscard]] bool matchesEverything() const { return m_everything; }

    // Name as it is on disk; lowered into the reusable scratch buffer.
    [[nodiscard]] bool MatchesAnyMask(const char *name, qsizetype size, QByteArray &scratch) const;
    [[nodiscard]] bool MatchesAnyMask(const QByteArray &name) const;

private:
    std::vector<TKvMask> m_masks;
    bool m_everything = true;
};

// The matcher on its own (both lower case), as a mask list applies it.
[[nodiscard]] bool MatchesMask(const QByteArray &name, const QByteArray &mask);

} // namespace clarivex
