#pragma once

// The numbered messages of the zip backup: 25100 to 25450 are errors, 26500
// to 26522 notices, and the text a person reads for an error event.

#include <QString>

namespace clarivex::cleaning {

enum ZipMessage : int {
    zmFileReadOnly = 25102,
    zmErrorWriting = 25136,
    zmNotEnoughSpace = 25155,
    zmDiskFull = 25159,
    zmErrorDeleting = 25169,
    zmFileNotFound = 25172,
    zmFileChanged = 25173,
    zmNotAFile = 25174,
    zmErrorOpening = 25235,
    zmErrorReading = 25236,
    zmCrcMismatch = 25260,
    zmErrorUpdating = 25350,
    zmUserAborted = 25400,
    zmFileKept = 26501,
};

// The text of a message number; empty for a number the table does not hold.
[[nodiscard]] QString zipMessageText(int code);
// The number that tells an errno's meaning to the user.
[[nodiscard]] int zipMessageForErrno(int error, int otherwise);

// The text shown for an error event: the file name, three blanks, the number
// and its text ("Error#  : " for errors, "Message#: " for notices), three
// blanks and the extra text. Empty for a number outside both ranges, which
// shows nothing.
[[nodiscard]] QString zipErrorText(const QString &fileName, const QString &extra, int code);

} // namespace clarivex::cleaning
