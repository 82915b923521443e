// Text crossing between the stored comment and the comment field.
//
// The DICOM library decodes and encodes values by the data set's own
// character set (Windows-1252 where it names none); what the window still
// needs here is the field's view of line breaks and lengths.
#pragma once

#include <QString>

#include <string>

namespace ansi {

// A stored comment, decoded to UTF-8, for the comment field: CR LF, and a
// lone CR or LF, become one line break.
QString CommentFromStored(const std::string& Text);

// Length as the stored comment counts it: a line break is two characters.
qsizetype StoredLength(const QString& Text);

} // namespace ansi
