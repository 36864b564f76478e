#pragma once

// The texts of a clean that the window shows: the in-use dialog, the zip
// question, the notices and the status lines.

namespace clarivex::cleaning::texts {

inline constexpr char kInUseTitle[] = " Clarivex 2000 3.5 - File(s) in use Error";
inline constexpr char kInUseMessage[] =
    "The following files cannot be deleted because they are currently in use.";
inline constexpr char kSomeInUse[] =
    "Some of the selected files cannot be deleted because they are currently in use.";
inline constexpr char kRemainingInUse[] =
    "The remaining files could not be deleted because they are being used.";
inline constexpr char kConfirmCleanAll[] = "Are you sure you want to clean all the files ?";
inline constexpr char kConfirmCleanSelected[] =
    "Are you sure you want to clean the selected file(s) ?";
inline constexpr char kFailedToCreateDirectory[] = "Failed to create directory.";
inline constexpr char kZipFailed[] = "ERROR!";
inline constexpr char kCouldNotZip[] = "Couldn't zip files to ";
inline constexpr char kTotalTime[] = "Total Time: %1 ms";
inline constexpr char kFilesZipped[] = "Files zipped to ";
// Status panel 1 during a zip clean: before the full path, or the bare name
// of a file being deleted from an archive.
inline constexpr char kCompressing[] = "Compressing: ";
inline constexpr char kDeleting[] = "Deleting: ";
// "%n file(s) could not be cleaned: " followed by the first one and its reason.
inline constexpr char kNotCleaned[] = "%1 file(s) could not be cleaned: %2: %3";
// The zip question's second paragraph: how many files go into which archive.
inline constexpr char kZipQuestionDetail[] = "%1 file(s) will be moved into the archive %2.";
// The question before a clean was answered No.
inline constexpr char kNothingCleaned[] = "Nothing was cleaned.";

} // namespace clarivex::cleaning::texts
