// Writing a comment into a copy of a DICOM file (or over the file itself).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace dicom {

struct TCommentWriterHooks {
    // Shows a failure to the user (the GUI: a message box captioned "Error").
    // Empty: the message goes to standard error.
    std::function<void(const std::string& Message)> ReportError;
    // The current local date and time as the user writes them, in UTF-8:
    // short date, a blank, long time. Empty: the C library's locale formats
    // are used.
    std::function<std::string()> DateTimeText;
};

// The lines of the trailer that follows every stored comment.
inline constexpr char kCommentTrailerIntro[] = "This comment was recorded with";
inline constexpr char kCommentTrailerNotice[] = "  Varnelo (c) the Varnelo authors. All rights reserved.";
inline constexpr char kProductWebAddress[] = "https://varnelo.example/app";
// The rule of stars that opens and closes the trailer.
inline constexpr char kCommentTrailerRule[] = "******************************";

// The largest value an element with a 2-byte length field can carry (even).
inline constexpr uint32_t kMaxShortValueLength = 65534;

// The stored Image Comments value: Comment trimmed of surrounding blanks and
// control characters, then the trailer with DateTime, padded to even length.
std::string CommentValue(const std::string& Comment, const std::string& DateTime);
// The same for a comment already trimmed (and encoded): Text stays as it is.
std::string CommentValueOf(const std::string& Text, const std::string& DateTime);

// A comment as stored, or as shown for editing, without the trailers saves
// appended to it (each from its rule of stars to the closing one, with the
// blank lines before it): what the writers themselves wrote.
std::string CommentWithoutTrailers(const std::string& Value);

// The current local date and time in the C library's locale formats (%x %X),
// as the environment (LC_ALL, LC_TIME, LANG) selects them, in UTF-8.
std::string LocaleDateTimeText();

// Writes TargetName as a copy of SourceName with Image Comments (0020,4000)
// replaced or inserted. Comment is UTF-8 and is stored in the source's own
// Specific Character Set (Windows-1252 where it names none, or ISO_IR 100);
// a comment that set cannot hold is refused before anything is written. The target appears whole or not at all: it is
// written to a temporary file in its folder and renamed into place, so a
// failure leaves both source and any existing target as they were. Returns
// true when the target was written; reports every failure through Hooks and
// raises nothing.
bool WriteDICOMComment(const std::string& SourceName, const std::string& TargetName, const std::string& Comment,
                       const TCommentWriterHooks& Hooks);

namespace writer_detail {
// Set by tests to take the path of file systems without unnamed temporary
// files: a hidden temporary name beside the target.
extern bool ForceNamedTemp;
} // namespace writer_detail

} // namespace dicom
