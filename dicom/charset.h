// Text values in the data set's own character set, Specific Character Set
// (0008,0005), to and from UTF-8. The character mappings come from the C
// library's iconv; ours are only which DICOM term means which character set
// and how the code extensions of ISO 2022 switch between them.
#pragma once

#include "charset_utf8.h"
#include "loader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dicom {

// Where a value's delimiters return the code extensions to their initial
// state: text (LT, ST, UT) at line breaks, tabs and form feeds; the other
// string VRs also at the backslash between values; person names also at the
// carets and equals signs between components and component groups.
enum class TTextKind : uint8_t { Text, Multi, PersonName };

class TCharacterSet {
public:
    // From the raw value of (0008,0005); empty when the data set has none.
    explicit TCharacterSet(const std::string& SpecificCharacterSet = {});

    // No character set, or ISO_IR 100: values are read and written as
    // Windows-1252, as stored files and earlier versions of this program have
    // them.
    bool IsWindows1252() const { return Mode == mWindows1252; }

    // Raw value bytes to UTF-8. Bytes the set does not define become U+FFFD;
    // an undefined Windows-1252 byte becomes the C1 control of its number, so
    // that those values survive being shown and written back.
    std::string Decode(const std::string& Raw, TTextKind Kind) const;

    // UTF-8 to value bytes. False, with Out unspecified, when Text is no
    // valid UTF-8 or holds a character the set cannot store.
    bool Encode(const std::string& Text, TTextKind Kind, std::string& Out) const;

    // As Encode, with "?" for each character that cannot be stored.
    std::string EncodeLossy(const std::string& Text, TTextKind Kind) const;

    // One graphic character set of ISO 2022 with its designation.
    enum TSetKind : uint8_t {
        skNone,     // no set designated
        skASCII,    // ISO 646 IRV (ISO-IR 6), G0
        skRoman,    // JIS X 0201 Roman (ISO-IR 14), G0
        skKatakana, // JIS X 0201 Katakana (ISO-IR 13), G1
        skUpper,    // an ISO 8859 upper half or TIS 620, G1, one byte
        skJIS0208,  // JIS X 0208 (ISO-IR 87), G0, two bytes
        skJIS0212,  // JIS X 0212 (ISO-IR 159), G0, two bytes
        skKSC,      // KS X 1001 (ISO-IR 149), G1, two bytes
        skGB2312,   // GB 2312 (ISO-IR 58), G1, two bytes
    };
    struct TCodeSet {
        TSetKind Kind = skNone;
        const char* Iconv = nullptr;  // the mapping's iconv name
        const char* Escape = nullptr; // designation sequence after ESC
    };

private:
    enum TMode : uint8_t {
        mWindows1252, // the default repertoire and ISO_IR 100 as of old
        mStateless,   // one iconv conversion, no code extensions
        mISO2022,     // code extensions, escape sequences
        mUnknown,     // a term we do not know: ASCII only
    };
    TMode Mode = mWindows1252;
    std::string IconvName;        // mStateless
    std::vector<TCodeSet> Sets;   // mISO2022: the usable sets, value 1 first
    TCodeSet InitialG0, InitialG1;
    bool HasASCII = false;        // ISO-IR 6 may be designated

    bool EncodeImpl(const std::string& Text, TTextKind Kind, std::string& Out, bool Lossy) const;
};

// Bytes in the named iconv codeset to UTF-8, "?" for what does not convert.
std::string TextToUTF8(const std::string& Bytes, const std::string& Codeset);

// The twelve summary strings of Raw decoded to UTF-8 by its Specific
// Character Set; the numbers copied.
THeaderData DecodedHeader(const THeaderData& Raw);

} // namespace dicom
