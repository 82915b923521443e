// Text crossing between DICOM bytes and the widgets.
//
// DICOM values stay raw 8-bit bytes in the library; the window shows them as
// Windows-1252 (the Western ANSI code page) and writes the comment back the
// same way. A character the code page lacks is written as "?".
#pragma once

#include <QString>

#include <string>

namespace ansi {

// Every byte to one character. The five bytes 1252 leaves unassigned (81, 8D,
// 8F, 90, 9D) map to the C1 controls of the same number, so any byte string
// survives a decode and encode unchanged.
QString Decode(const std::string& Bytes);

// Every UTF-16 code unit to one byte; a character outside the code page, and
// each half of a surrogate pair, becomes "?".
std::string Encode(const QString& Text);

// A stored comment for the comment field: CR LF, and a lone CR or LF, become
// one line break.
QString CommentFromBytes(const std::string& Bytes);

// The comment field's text for storing: each line break (also the paragraph
// and line separators of a text document) becomes CR LF.
std::string CommentToBytes(const QString& Text);

// Length as the stored comment counts it: a line break is two characters.
qsizetype StoredLength(const QString& Text);

} // namespace ansi
