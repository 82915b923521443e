#include "element.h"

#include "errors.h"

#include <algorithm>
#include <cstring>

namespace dicom {

namespace {

constexpr uint32_t kUndefined = 0xFFFFFFFFu;
// Nesting deeper than this is not a real data set; refusing it keeps the
// recursion of the measurement bounded.
constexpr int kMaxNesting = 64;

inline uint16_t Swap16(uint16_t V) { return static_cast<uint16_t>((V >> 8) | (V << 8)); }
inline uint32_t Swap32(uint32_t V) { return __builtin_bswap32(V); }

inline uint16_t Le16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }
inline uint32_t Le32(const uint8_t* P)
{
    return static_cast<uint32_t>(P[0]) | (static_cast<uint32_t>(P[1]) << 8) | (static_cast<uint32_t>(P[2]) << 16) |
           (static_cast<uint32_t>(P[3]) << 24);
}
inline uint32_t Raw32(const uint8_t* P)
{
    uint32_t V;
    std::memcpy(&V, P, 4);
    return V;
}

void Put16(TStream& Out, uint16_t V, bool Swap)
{
    if (Swap)
        V = Swap16(V);
    const uint8_t B[2] = {static_cast<uint8_t>(V), static_cast<uint8_t>(V >> 8)};
    Out.WriteBuffer(B, 2);
}

void Put32(TStream& Out, uint32_t V, bool Swap)
{
    if (Swap)
        V = Swap32(V);
    const uint8_t B[4] = {static_cast<uint8_t>(V), static_cast<uint8_t>(V >> 8), static_cast<uint8_t>(V >> 16),
                          static_cast<uint8_t>(V >> 24)};
    Out.WriteBuffer(B, 4);
}

uint32_t RawPattern(uint8_t A, uint8_t B, uint8_t C, uint8_t D)
{
    const uint8_t Bytes[4] = {A, B, C, D};
    return Raw32(Bytes);
}

void ReadHeader(TDICOMattribute& E, TStream& Source, const TransferSyntaxState& TS, int Depth);

int64_t MeasureValue(TStream& Source, const TransferSyntaxState& TS, bool Swap, int Depth)
{
    if (Depth > kMaxNesting)
        throw EReadError();
    const TDelimiters& D = DelimitersFor(Swap);
    const int64_t Size = Source.Size();
    uint8_t H[8];
    for (;;) {
        Source.ReadBuffer(H, 8);
        const uint32_t Tag = Raw32(H);
        if (Tag == D.SequenceDelimitation)
            return Source.Position() - 8;
        if (Tag != D.Item)
            throw EReadError();
        uint32_t L = Le32(H + 4);
        if (Swap)
            L = Swap32(L);
        if (L != kUndefined) {
            if (Source.Position() + static_cast<int64_t>(L) > Size)
                throw EReadError();
            Source.Skip(L);
            continue;
        }
        // An item of undefined length: its elements up to the Item
        // Delimitation Item, each measured the same way when undefined.
        for (;;) {
            const int64_t At = Source.Position();
            Source.ReadBuffer(H, 4);
            if (Raw32(H) == D.ItemDelimitation) {
                Source.ReadBuffer(H, 4);
                break;
            }
            Source.Seek(At);
            TDICOMattribute Nested;
            ReadHeader(Nested, Source, TS, Depth + 1);
        }
    }
}

void ReadHeader(TDICOMattribute& E, TStream& Source, const TransferSyntaxState& TS, int Depth)
{
    uint8_t H[8];
    Source.ReadBuffer(H, 4);
    const uint16_t FileGroup = Le16(H);
    const bool Swap = TS.BigEndian && FileGroup != 0x0002;
    const bool Implicit = TS.ImplicitVR && FileGroup != 0x0002;
    E.Group = FileGroup;
    E.Element = Le16(H + 2);
    if (Swap) {
        E.Group = Swap16(E.Group);
        E.Element = Swap16(E.Element);
    }
    uint32_t Len;
    if (Implicit) {
        Source.ReadBuffer(H, 4);
        Len = Le32(H);
        E.VR[0] = E.VR[1] = 0;
        E.LongForm = false;
    } else {
        Source.ReadBuffer(H, 2);
        E.VR[0] = static_cast<char>(H[0]);
        E.VR[1] = static_cast<char>(H[1]);
        E.LongForm = TDICOMattribute::IsLongFormVR(E.VR);
        if (E.LongForm) {
            Source.ReadBuffer(H, 6);
            Len = Le32(H + 2);
            if (Swap)
                Len = Swap32(Len);
        } else {
            Source.ReadBuffer(H, 2);
            uint16_t L16 = Le16(H);
            if (Swap)
                L16 = Swap16(L16);
            Len = L16;
        }
    }
    E.UndefinedLength = Len == kUndefined;
    if (E.UndefinedLength) {
        const int64_t Start = Source.Position();
        // The content of an undefined-length UN is implicit VR little endian.
        TransferSyntaxState Inner = TS;
        if (!Implicit && E.VR[0] == 'U' && E.VR[1] == 'N') {
            Inner.ImplicitVR = true;
            Inner.BigEndian = false;
        }
        const int64_t End = MeasureValue(Source, Inner, Swap && !(E.VR[0] == 'U' && E.VR[1] == 'N'), Depth);
        if (End - Start >= static_cast<int64_t>(kUndefined))
            throw EReadError();
        Len = static_cast<uint32_t>(End - Start);
        Source.Seek(Start);
    }
    E.Length = Len;
    E.ValueOffset = Source.Position();
    Source.Seek(E.ValueOffset + static_cast<int64_t>(Len) + (E.UndefinedLength ? 8 : 0));
}

} // namespace

const TDelimiters& DelimitersFor(bool Swap)
{
    static const TDelimiters Little{RawPattern(0xFE, 0xFF, 0x00, 0xE0), RawPattern(0xFE, 0xFF, 0x0D, 0xE0),
                                    RawPattern(0xFE, 0xFF, 0xDD, 0xE0)};
    static const TDelimiters Big{RawPattern(0xFF, 0xFE, 0xE0, 0x00), RawPattern(0xFF, 0xFE, 0xE0, 0x0D),
                                 RawPattern(0xFF, 0xFE, 0xE0, 0xDD)};
    return Swap ? Big : Little;
}

namespace {

struct TVRInfo {
    char Name[3];
    bool LongForm; // 2 reserved bytes and a 4-byte length in explicit VR
};

// Every VR of the current standard. The long form belongs to the binary and
// unlimited ones, those added since 2013 (OD OL OV SV UC UR UV) included.
constexpr TVRInfo kVRs[] = {
    {"AE", false}, {"AS", false}, {"AT", false}, {"CS", false}, {"DA", false}, {"DS", false}, {"DT", false},
    {"FD", false}, {"FL", false}, {"IS", false}, {"LO", false}, {"LT", false}, {"OB", true},  {"OD", true},
    {"OF", true},  {"OL", true},  {"OV", true},  {"OW", true},  {"PN", false}, {"SH", false}, {"SL", false},
    {"SQ", true},  {"SS", false}, {"ST", false}, {"SV", true},  {"TM", false}, {"UC", true},  {"UI", false},
    {"UL", false}, {"UN", true},  {"UR", true},  {"US", false}, {"UT", true},  {"UV", true},
};

const TVRInfo* FindVR(char A, char B)
{
    for (const auto& V : kVRs)
        if (V.Name[0] == A && V.Name[1] == B)
            return &V;
    return nullptr;
}

} // namespace

bool TDICOMattribute::IsLongFormVR(const char* V)
{
    const TVRInfo* Info = FindVR(V[0], V[1]);
    return Info != nullptr && Info->LongForm;
}

bool TDICOMattribute::IsKnownVR(const char* V) { return FindVR(V[0], V[1]) != nullptr; }

TDICOMattribute::TDICOMattribute(TStream& Source, const TransferSyntaxState& TS) { ReadHeader(*this, Source, TS, 0); }

uint32_t MeasureUndefinedLength(TStream& Source, const TransferSyntaxState& TS, bool Swap, bool /*Implicit*/)
{
    const int64_t Start = Source.Position();
    const int64_t End = MeasureValue(Source, TS, Swap, 0);
    Source.Seek(Start);
    return static_cast<uint32_t>(End - Start);
}

std::string TDICOMattribute::ReadString(TStream& Source) const
{
    const int64_t Saved = Source.Position();
    // Never allocate more than the file can give back.
    const int64_t Avail = std::max<int64_t>(0, Source.Size() - ValueOffset);
    std::string S(static_cast<size_t>(std::min<int64_t>(Length, Avail)), '\0');
    Source.Seek(ValueOffset);
    S.resize(Source.Read(S.data(), S.size()));
    Source.Seek(Saved);
    return S;
}

uint16_t TDICOMattribute::ReadUInt16(TStream& Source, const TransferSyntaxState& TS) const
{
    const int64_t Saved = Source.Position();
    uint8_t B[2] = {0, 0};
    Source.Seek(ValueOffset);
    Source.Read(B, std::min<uint32_t>(Length, 2));
    Source.Seek(Saved);
    const uint16_t V = Le16(B);
    return TS.BigEndian ? Swap16(V) : V;
}

void TDICOMattribute::SkipToFirstFragment()
{
    if (Stream == nullptr)
        return;
    uint8_t B[4];
    Stream->Seek(ValueOffset);
    if (Stream->Read(B, 4) != 4 || Raw32(B) != DelimitersFor(false).Item)
        return;
    if (Stream->Read(B, 4) != 4)
        return;
    const uint32_t TableLength = Le32(B);
    Stream->Skip(static_cast<int64_t>(TableLength) + 4);
    const size_t Got = Stream->Read(B, 4);
    std::memset(B + Got, 0, 4 - Got);
    Length = Le32(B);
    ValueOffset = Stream->Position();
}

int64_t TDICOMattribute::WriteReplaced(const std::string& Value, TStream& Output, const TransferSyntaxState& TS) const
{
    const bool Swap = TS.BigEndian;
    Put16(Output, Group, Swap);
    Put16(Output, Element, Swap);
    const uint32_t NewLength = static_cast<uint32_t>(Value.size());
    if (TS.ImplicitVR) {
        Put32(Output, NewLength, false);
    } else {
        Output.WriteBuffer(VR, 2);
        if (IsLongFormVR(VR)) {
            Put16(Output, 0, false);
            Put32(Output, NewLength, Swap);
        } else {
            Put16(Output, static_cast<uint16_t>(NewLength), Swap);
        }
    }
    Output.WriteBuffer(Value.data(), Value.size());
    return static_cast<int64_t>(NewLength) - static_cast<int64_t>(Length);
}

void TDICOMattribute::CopyTo(TStream& Output, TStream& Source, const TransferSyntaxState& TS) const
{
    const bool Swap = SwapFor(TS);
    const bool Implicit = TS.ImplicitVR && Group != 0x0002;
    Put16(Output, Group, Swap);
    Put16(Output, Element, Swap);
    const uint32_t Written = UndefinedLength ? kUndefined : Length;
    if (Implicit) {
        Put32(Output, Written, false);
    } else {
        Output.WriteBuffer(VR, 2);
        if (LongForm) {
            Put16(Output, 0, false);
            Put32(Output, Written, Swap);
        } else {
            Put16(Output, static_cast<uint16_t>(Written), Swap);
        }
    }
    if (Length != 0) {
        const int64_t Saved = Source.Position();
        Source.Seek(ValueOffset);
        Output.CopyFrom(Source, Length);
        Source.Seek(Saved);
    }
    if (Written == kUndefined) {
        const uint32_t Delim = DelimitersFor(Swap).SequenceDelimitation;
        Output.WriteBuffer(&Delim, 4);
        Put32(Output, 0, false);
    }
}

} // namespace dicom
