// Writing a comment into a copy of a DICOM file (or over the file itself).
#pragma once

#include <functional>
#include <string>

namespace dicom {

struct TCommentWriterHooks {
    // Shows a failure to the user (the GUI: a message box captioned "Error").
    std::function<void(const std::string& Message)> ReportError;
    // The current local date and time as the user writes them: short date,
    // a blank, long time. Empty: the C library's locale formats are used.
    std::function<std::string()> DateTimeText;
};

// Writes TargetName as a copy of SourceName with Image Comments (0020,4000)
// replaced or inserted. Returns true when the target was written; reports
// every failure through Hooks and raises nothing.
bool WriteDICOMComment(const std::string& SourceName, const std::string& TargetName, const std::string& Comment,
                       const TCommentWriterHooks& Hooks);

} // namespace dicom
