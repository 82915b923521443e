// Exceptions raised by the DICOM code. Every failure carries an English
// message meant for the user; callers decide whether to show it.
#pragma once

#include <stdexcept>
#include <string>

namespace dicom {

class EDicomError : public std::runtime_error {
public:
    explicit EDicomError(const std::string& Message) : std::runtime_error(Message) {}
};

// An exact read came up short: the file ends inside something it promised.
class EReadError : public EDicomError {
public:
    EReadError() : EDicomError("Stream read error") {}
};

class EWriteError : public EDicomError {
public:
    EWriteError() : EDicomError("Stream write error") {}
};

// A file could not be opened or created; the message names the file and the
// operating system's reason.
class EFOpenError : public EDicomError {
public:
    using EDicomError::EDicomError;
};

// "No valid DicomFile.", "Deflate syntax not supported." and other refusals
// of a file's content.
class EFormatError : public EDicomError {
public:
    using EDicomError::EDicomError;
};

// A decimal number that does not parse, such as a bad Number of Frames.
class EConvertError : public EDicomError {
public:
    using EDicomError::EDicomError;
};

// libjpeg refused a stream: "JPEG error #N".
class EJPEGError : public EDicomError {
public:
    using EDicomError::EDicomError;
};

} // namespace dicom
