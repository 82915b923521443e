#include "encaps.h"

#include "extrout.h"
#include "jpegext.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace dicom {

namespace {

inline uint32_t Le32(const uint8_t* P)
{
    return static_cast<uint32_t>(P[0]) | (static_cast<uint32_t>(P[1]) << 8) | (static_cast<uint32_t>(P[2]) << 16) |
           (static_cast<uint32_t>(P[3]) << 24);
}

uint64_t FrameBytesOf(const TData28& Data)
{
    return (static_cast<uint64_t>(Data.Rows) * Data.Columns * Data.BitsAllocated + 7) / 8 * Data.SamplesPerPixel;
}

// Item tag (FFFE,E000) and sequence delimiter (FFFE,E0DD) as they lie in the
// file: encapsulated data is always little-endian.
constexpr uint8_t kItemTag[4] = {0xFE, 0xFF, 0x00, 0xE0};

bool IsItemHeader(const uint8_t* H) { return std::memcmp(H, kItemTag, 4) == 0; }

// Appends up to Length bytes at Offset to Out; the file may hold fewer.
void AppendBytes(TStream& S, int64_t Offset, uint32_t Length, std::vector<uint8_t>& Out)
{
    const int64_t Left = S.Size() - Offset;
    const uint64_t Want = Left <= 0 ? 0 : std::min<uint64_t>(Length, static_cast<uint64_t>(Left));
    const size_t At = Out.size();
    Out.resize(At + Want);
    S.Seek(Offset);
    const size_t Got = Want == 0 ? 0 : S.Read(Out.data() + At, Want);
    Out.resize(At + Got);
}

bool EndsWithEOI(const uint8_t* P, size_t N)
{
    // Fragments are even-length, so an odd stream carries one pad byte.
    if (N >= 2 && P[N - 2] == 0xFF && P[N - 1] == 0xD9)
        return true;
    return N >= 3 && P[N - 1] == 0x00 && P[N - 3] == 0xFF && P[N - 2] == 0xD9;
}

// The Basic Offset Table sits just before the first fragment's item; its
// entries count frames, so with NumberOfFrames known it can be found from the
// first fragment alone. Returns the entries, or nothing for an empty or
// unrecognisable table.
std::vector<uint32_t> FindOffsetTable(TStream& S, int64_t FirstValue, uint32_t Frames)
{
    std::vector<uint32_t> Table;
    const int64_t TableBytes = static_cast<int64_t>(Frames) * 4;
    const int64_t HeaderAt = FirstValue - 8 - TableBytes - 8;
    if (Frames < 2 || HeaderAt < 0)
        return Table;
    uint8_t H[8];
    S.Seek(HeaderAt);
    if (S.Read(H, 8) != 8 || !IsItemHeader(H) || Le32(H + 4) != TableBytes)
        return Table;
    std::vector<uint8_t> Raw(static_cast<size_t>(TableBytes));
    if (S.Read(Raw.data(), Raw.size()) != Raw.size())
        return Table;
    Table.resize(Frames);
    for (uint32_t I = 0; I < Frames; ++I)
        Table[I] = Le32(Raw.data() + 4 * I);
    return Table;
}

// Frame 1's bytes: the first fragment, and the fragments after it that
// still belong to the frame.
std::vector<uint8_t> ReadFirstFrame(const TDICOMattribute& PixelData, uint32_t Frames, TCompressionKind Kind)
{
    TStream& S = *PixelData.Stream;
    std::vector<uint8_t> Out;
    AppendBytes(S, PixelData.ValueOffset, PixelData.Length, Out);

    // Fragment positions are counted from the first fragment's item tag.
    const int64_t Base = PixelData.ValueOffset - 8;
    uint64_t FrameEnd = UINT64_MAX; // relative end of frame 1 (exclusive)
    bool UntilEOI = false;
    if (Frames > 1) {
        const std::vector<uint32_t> Table = FindOffsetTable(S, PixelData.ValueOffset, Frames);
        if (!Table.empty())
            FrameEnd = Table[1];
        else if (Kind == ckRLE)
            return Out; // RLE keeps each frame in one fragment
        else
            UntilEOI = true;
    }
    if (UntilEOI && EndsWithEOI(Out.data(), Out.size()))
        return Out;

    int64_t Next = PixelData.ValueOffset + PixelData.Length;
    while (static_cast<uint64_t>(Next - Base) < FrameEnd) {
        uint8_t H[8];
        S.Seek(Next);
        if (S.Read(H, 8) != 8 || !IsItemHeader(H))
            break;
        const uint32_t Length = Le32(H + 4);
        if (Length == 0xFFFFFFFFu)
            break;
        const size_t Before = Out.size();
        AppendBytes(S, Next + 8, Length, Out);
        if (Out.size() - Before < Length)
            break; // the file ends inside this fragment
        Next += 8 + static_cast<int64_t>(Length);
        if (UntilEOI && EndsWithEOI(Out.data() + Before, Out.size() - Before))
            break;
    }
    return Out;
}

// One RLE segment into Out[From, To), reading from Fragment[Offset, Count);
// Out has Room writable bytes. Returns where the output stopped: input that
// ends early stops it short.
size_t DecodeSegment(const uint8_t* Fragment, size_t Count, size_t Offset, uint8_t* Out, size_t From, size_t To,
                     size_t Room)
{
    constexpr size_t kRun = 128; // the longest run
    size_t In = Offset;
    size_t At = From;
    // Each segment takes at least one control byte, even for an empty slot.
    do {
        if (In >= Count)
            break;
        const int C = static_cast<int8_t>(Fragment[In++]);
        if (C >= 0) {
            const size_t Want = static_cast<size_t>(C) + 1;
            if (In + kRun <= Count && At + kRun <= Room && Want <= To - At) {
                // A fixed-size copy is cheaper than an exact one; the bytes
                // past the run are written again later.
                std::memcpy(Out + At, Fragment + In, kRun);
                At += Want;
            } else {
                const size_t N = std::min({Want, Count - In, To - At});
                std::memcpy(Out + At, Fragment + In, N);
                At += N;
            }
            In += Want;
        } else if (C != -128) {
            if (In >= Count)
                break;
            const size_t Want = static_cast<size_t>(1 - C);
            const uint8_t V = Fragment[In++];
            if (At + kRun <= Room && Want <= To - At) {
                std::memset(Out + At, V, kRun);
                At += Want;
            } else {
                const size_t N = std::min(Want, To - At);
                std::memset(Out + At, V, N);
                At += N;
            }
        }
    } while (At < To);
    return At;
}

} // namespace

bool DecodeRLE(const uint8_t* Fragment, size_t Count, uint64_t FrameBytes, TData28& Data)
{
    std::vector<uint8_t>& Pixels = Data.Pixels;
    const uint32_t Segments = Count < 4 ? 0 : Le32(Fragment);
    if (Count < 4 || Segments > 15 || Count < 4 + 4 * static_cast<size_t>(Segments)) {
        Pixels.clear();
        return false;
    }
    size_t Offsets[16];
    for (uint32_t S = 1; S <= Segments; ++S) {
        Offsets[S] = Le32(Fragment + 4 * S);
        if (Offsets[S] >= Count) {
            Pixels.clear();
            return false;
        }
    }

    // Segments are byte planes: most significant byte first within each
    // sample, samples one after the other. Whole samples are put together
    // here in the file's (little-endian) byte order, pixels interleaved
    // unless the planes are meant to stay planes.
    const uint32_t SampleBytes = Data.BitsAllocated / 8;
    const uint64_t PixelCount = static_cast<uint64_t>(Data.Rows) * Data.Columns;
    const uint32_t Samples = Data.SamplesPerPixel;
    const bool Recombine = Data.BitsAllocated % 8 == 0 && SampleBytes >= 1 && Samples >= 1 &&
                           Segments == Samples * SampleBytes &&
                           (SampleBytes > 1 || (Samples > 1 && Data.PlanarConfiguration == 0));

    // An empty frame has no buffer to write through.
    if (FrameBytes == 0) {
        Pixels.clear();
        return true;
    }
    // Every byte of the frame is written below, so no clearing first.
    Pixels.resize(FrameBytes);
    std::unique_ptr<uint8_t[]> Planes;
    uint8_t* Out = Pixels.data();
    uint64_t Room = FrameBytes;
    if (Recombine) {
        Room = FrameBytes + 128;
        Planes.reset(new uint8_t[Room]);
        Out = Planes.get();
    }
    uint64_t From = 0;
    for (uint32_t S = 1; S <= Segments; ++S) {
        // Segment s fills the output up to s/n of the frame.
        const uint64_t To = (FrameBytes * S + Segments - 1) / Segments;
        const size_t End = DecodeSegment(Fragment, Count, Offsets[S], Out, From, To, Room);
        std::memset(Out + End, 0, To - End);
        From = To;
    }
    std::memset(Out + From, 0, FrameBytes - From);
    if (!Recombine)
        return true;

    uint8_t* Dest = Pixels.data();
    const bool Interleave = Data.PlanarConfiguration == 0;
    const auto Plane = [&](uint32_t C, uint32_t B) {
        return Planes.get() + (static_cast<uint64_t>(C) * SampleBytes + B) * PixelCount;
    };
    if (SampleBytes == 2 && (Samples == 1 || !Interleave)) {
        // 16-bit planes to whole samples, one plane of samples at a time.
        for (uint32_t C = 0; C < Samples; ++C) {
            const uint8_t* Hi = Plane(C, 0);
            const uint8_t* Lo = Plane(C, 1);
            uint8_t* D = Dest + static_cast<uint64_t>(C) * PixelCount * 2;
            for (uint64_t P = 0; P < PixelCount; ++P) {
                D[2 * P] = Lo[P];
                D[2 * P + 1] = Hi[P];
            }
        }
        return true;
    }
    const size_t Step = Interleave ? static_cast<size_t>(Samples) * SampleBytes : SampleBytes;
    for (uint32_t C = 0; C < Samples; ++C) {
        for (uint32_t B = 0; B < SampleBytes; ++B) {
            const uint8_t* Src = Plane(C, B);
            uint8_t* D = Dest + (SampleBytes - 1 - B) +
                         static_cast<uint64_t>(C) * SampleBytes * (Interleave ? 1 : PixelCount);
            for (uint64_t P = 0; P < PixelCount; ++P)
                D[P * Step] = Src[P];
        }
    }
    return true;
}

bool DecodeCompressedFrame(TData28& Data, const TransferSyntaxState& TS)
{
    const uint64_t FrameBytes = FrameBytesOf(Data);
    // RLE and the JPEG-LS and JPEG 2000 decoders make their own frame, and
    // the JPEG branch takes the fragment as it is; the lossless decoder gets
    // a zeroed block of what its stream holds (see below). Zeroing a
    // declared frame of up to 1 GiB first was seconds of work for nothing:
    // the renderer reads what is not there as zeros.
    if (TS.Compression != ckRLE)
        Data.Pixels.clear();
    if (!Data.PixelData || Data.PixelData->Stream == nullptr)
        return false;

    TStream& S = *Data.PixelData->Stream;
    const int64_t Saved = S.Position();
    std::vector<uint8_t> Frame = ReadFirstFrame(*Data.PixelData, Data.NumberOfFrames, TS.Compression);
    S.Seek(Saved);

    bool Result = true;
    uint64_t Size = FrameBytes;
    switch (TS.Compression) {
    case ckLosslessJPEG:
        // A stream holding more than the frame fails as it would against the
        // whole frame.
        Data.Pixels.assign(std::min(extrout::LosslessJPEGOutputSize(Frame.data(), 0, Frame.size()), FrameBytes), 0);
        Result = extrout::DecodeLosslessJPEG(Frame.data(), Data.Pixels.data(), Data.Pixels.size(), 0, Frame.size());
        break;
    case ckJPEG:
        Size = Frame.size();
        Data.Pixels = std::move(Frame);
        break;
    case ckRLE:
        Result = DecodeRLE(Frame.data(), Frame.size(), FrameBytes, Data);
        break;
    case ckJPEGLS:
        Result = DecodeJPEGLS(Frame.data(), Frame.size(), Data);
        break;
    case ckJPEG2000:
        Result = DecodeJPEG2000(Frame.data(), Frame.size(), Data);
        break;
    default:
        break;
    }
    if (Result)
        Data.FrameSize = Size;
    return Result;
}

} // namespace dicom
