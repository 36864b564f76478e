#pragma once

// The update-information text that the update server sends, and what the
// program decides from it. The text must begin with "#" and holds tagged
// values: a value starts right after its tag and ends before its terminator.
// Tags are found without regard to case, the first occurrence counts, and a
// value whose terminator never follows is empty.
//
//   #version=   CR   release number (compared byNumber)
//   #date=      CR   release date MM/DD/YYYY (compared byDate)
//   #served=    LF   users served, -1 when empty or not a whole number
//   #caption=   CR   caption of the question
//   #message=[  ]    text of the question, may span lines
//   #redirect=  CR   "yes" (any case): open #url= in the browser instead
//   #url=       CR   address of the release (a web page when redirecting)
//   #sha256=    CR or LF, or the end of the text: the release's SHA-256 in hex

#include <QByteArray>
#include <QString>

namespace clarivex {

enum TAUVersionControl : quint8 { byDate = 0, byNumber = 1 };

struct UpdateInfo
{
    bool startsWithHash = false; // a text that does not is no update information
    QString version;
    QString date;
    int served = -1;
    QString caption;
    QString message;
    QString redirect;
    QString url;
    bool hasSha256 = false; // the tag is present; its value may still be unusable
    QString sha256;         // as written, trimmed, lower case

    [[nodiscard]] bool redirects() const;
};

// The value of `tag` in `text` up to `terminator` (see above); empty when the
// tag is missing or the terminator does not follow it.
[[nodiscard]] QByteArray updateTagValue(const QByteArray &text, const QByteArray &tag,
                                        char terminator);
[[nodiscard]] UpdateInfo parseUpdateInfo(const QByteArray &text);

// MM/DD/YYYY as YYYYMMDD: the parts between the slashes are moved, not padded.
[[nodiscard]] QString updateDateKey(const QString &monthDayYear);

// Whether the server's release is newer than the running one: byDate, its
// date sorts after ours; byNumber, its number differs from ours in any way.
// A release without a date or number is never newer.
[[nodiscard]] bool isNewerRelease(const UpdateInfo &info, TAUVersionControl control,
                                  const QString &versionDate, const QString &versionNumber);

// An address as host and path: a leading "http://" (any case) is dropped, the
// host is the text before the first "/", the path the rest from that "/" on.
struct UpdateAddress
{
    QString host;
    QString path;
};
[[nodiscard]] UpdateAddress splitUpdateAddress(const QString &address);

} // namespace clarivex
