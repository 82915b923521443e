// One DICOM data element read from a stream, and the encoding state that a
// walk over a file carries from element to element.
#pragma once

#include "streams.h"

#include <cstdint>
#include <string>

namespace dicom {

enum TCompressionKind : uint8_t {
    ckNone = 0,
    ckLosslessJPEG = 1,
    ckJPEG = 2,
    ckRLE = 3,
    ckDeflate = 4,
    // What a frame's own stream turns out to be under a JPEG syntax.
    ckJPEGLS = 5,
    ckJPEG2000 = 6,
};

// How the data set being walked is encoded. Each walk owns one; (0002,0010)
// changes it in mid-walk and the elements after it follow the change.
struct TransferSyntaxState {
    bool ImplicitVR = true;
    bool BigEndian = false;
    bool Compressed = false;
    TCompressionKind Compression = ckNone;
    // Set once the walk has looked at the first element after group 0002.
    bool DataSetChecked = false;
};

// Raw four-byte delimiter patterns in file byte order.
struct TDelimiters {
    uint32_t Item, ItemDelimitation, SequenceDelimitation;
};
const TDelimiters& DelimitersFor(bool Swap);

class TDICOMattribute {
public:
    uint16_t Group = 0;
    uint16_t Element = 0;
    char VR[2] = {0, 0};
    uint32_t Length = 0;
    int64_t ValueOffset = 0;
    bool UndefinedLength = false;
    bool LongForm = false;
    TStream* Stream = nullptr; // not owned

    TDICOMattribute() = default;
    // Reads one element header at Source's position and leaves Source after
    // the value (after the closing Sequence Delimitation Item for an
    // undefined length). Raises EReadError when the header is cut short or an
    // undefined-length value is malformed.
    TDICOMattribute(TStream& Source, const TransferSyntaxState& TS);

    uint32_t Tag() const { return (static_cast<uint32_t>(Group) << 16) | Element; }
    std::string VRString() const { return VR[0] == 0 && VR[1] == 0 ? std::string() : std::string(VR, 2); }

    // The whole value as raw bytes, as far as the file holds it. Position kept.
    std::string ReadString(TStream& Source) const;
    // The first two value bytes (missing bytes read as zero), swapped when
    // the data set is big-endian. Position kept.
    uint16_t ReadUInt16(TStream& Source, const TransferSyntaxState& TS) const;
    // Narrows encapsulated pixel data to its first fragment, through Stream.
    void SkipToFirstFragment();
    // Writes this element with a new value; returns new length minus old.
    int64_t WriteReplaced(const std::string& Value, TStream& Output, const TransferSyntaxState& TS) const;
    // Writes this element unchanged, its value taken from Source.
    void CopyTo(TStream& Output, TStream& Source, const TransferSyntaxState& TS) const;

    // True for the VRs that take the long explicit form.
    static bool IsLongFormVR(const char* VR);
    // True for any VR the standard defines.
    static bool IsKnownVR(const char* VR);

private:
    bool SwapFor(const TransferSyntaxState& TS) const { return TS.BigEndian && Group != 0x0002; }
};

// Measures an undefined-length value that starts at Source's position:
// returns the number of bytes up to, not including, its closing Sequence
// Delimitation tag, and leaves Source where it was. Items of defined length
// are stepped over, items of undefined length walked element by element.
uint32_t MeasureUndefinedLength(TStream& Source, const TransferSyntaxState& TS, bool Swap, bool Implicit);

} // namespace dicom
