#pragma once
// What loading pictures says to the operator, written once.

namespace vantor {

inline constexpr char kSequenceCaption[] = "Sequence detection";
inline constexpr char kSequenceQuestion[] = "Sequence exists - ending with:\n\n%s\n\nLoad %d more images?";
inline constexpr char kSequenceClosing[] = "Final image number %d\n\nSequence length = %d";
inline constexpr char kSequenceOutOfMemory[] = "Sequence load failed\n\nOut of memory";
inline constexpr char kLoadingLabel[] = "Loading %s%s";
inline constexpr char kOverlayOnLabel[] = "Overlay ON";
inline constexpr char kOverlayOffLabel[] = "Overlay OFF";

// A picked, dropped or sequence file that did not load, and why.
inline constexpr char kLoadFailureMessage[] = "Cannot load\n\n%1\n\n%2";
inline constexpr char kFailureMissing[] = "The file does not exist.";
inline constexpr char kFailureFolder[] = "This is a folder, not a picture file.";
inline constexpr char kFailureNotRegular[] = "This is not a regular file (a pipe, device or socket).";
inline constexpr char kFailureUnreadable[] = "The file cannot be read: permission denied.";
inline constexpr char kFailureCannotRead[] = "The file cannot be read.";
inline constexpr char kFailureEmpty[] = "The file is empty.";
inline constexpr char kFailureNotAPicture[] =
    "This is not a picture or movie in a format the program reads (BMP, GIF, JPEG, PNG, TIFF, WebP; MOV, MP4, MKV, "
    "WebM).";
inline constexpr char kFailureTooLarge[] = "The picture is too large to hold: %1 x %2 pixels.";
inline constexpr char kFailureNoMemory[] = "There is not enough memory for a picture of %1 x %2 pixels.";
inline constexpr char kFailureSizeUnknown[] =
    "The picture does not tell its size before it is decoded, so its memory cannot be checked.";
inline constexpr char kFailureDamaged[] = "The picture is damaged or incomplete.";
inline constexpr char kFailureLinksOut[] =
    "The file refers to other files or network addresses (a playlist, a list of files or pictures kept "
    "elsewhere): only a movie that holds its own pictures can be loaded.";
inline constexpr char kFailureAnimationTooLarge[] = "This animation needs %1 MB; at most %2 MB can be used";

}  // namespace vantor
