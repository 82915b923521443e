#include "jpegext.h"

#include "errors.h"

#include <charls/charls.h>
#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace dicom {

namespace {

bool IsFrameHeader(uint8_t M)
{
    return M >= 0xC0 && M <= 0xCF && M != 0xC4 && M != 0xC8 && M != 0xCC;
}

// Where sample k of component c goes, and how wide it is.
struct TLayout {
    uint64_t Pixels;
    uint32_t Samples;
    uint32_t Width; // bytes per sample
    bool Planar;

    uint64_t Offset(uint64_t K, uint32_t C) const
    {
        return (Planar ? C * Pixels + K : K * Samples + C) * Width;
    }
};

// The layout the description promises, or false when the decoded image
// (Width x Height, Components) cannot fill it.
bool LayoutFor(const TData28& Data, uint32_t Width, uint32_t Height, uint32_t Components, TLayout& L)
{
    if (Width != Data.Columns || Height != Data.Rows || Components != Data.SamplesPerPixel)
        return false;
    if (Data.BitsAllocated != 8 && Data.BitsAllocated != 16 && Data.BitsAllocated != 32)
        return false;
    L.Pixels = static_cast<uint64_t>(Width) * Height;
    L.Samples = Components;
    L.Width = Data.BitsAllocated / 8;
    L.Planar = Data.PlanarConfiguration == 1 && Components > 1;
    return true;
}

inline void Store(uint8_t* P, uint32_t V, uint32_t Width)
{
    for (uint32_t B = 0; B < Width; ++B)
        P[B] = static_cast<uint8_t>(V >> (8 * B));
}

// --- JPEG-LS ---------------------------------------------------------------

struct TCharLSDecoder {
    charls_jpegls_decoder* D = charls_jpegls_decoder_create();
    ~TCharLSDecoder() { charls_jpegls_decoder_destroy(D); }
};

void CheckCharLS(charls_jpegls_errc E)
{
    if (E != charls_jpegls_errc{})
        throw EJPEGError(std::string("JPEG-LS error #") + std::to_string(static_cast<int>(E)) + ": " +
                         charls_get_error_message(E));
}

// --- JPEG 2000 -------------------------------------------------------------

struct TMemory {
    const uint8_t* Data;
    size_t Size;
    size_t Pos;
};

OPJ_SIZE_T ReadMemory(void* Buffer, OPJ_SIZE_T Count, void* User)
{
    TMemory& M = *static_cast<TMemory*>(User);
    if (M.Pos >= M.Size)
        return static_cast<OPJ_SIZE_T>(-1);
    const size_t N = std::min(Count, M.Size - M.Pos);
    std::memcpy(Buffer, M.Data + M.Pos, N);
    M.Pos += N;
    return N;
}

OPJ_OFF_T SkipMemory(OPJ_OFF_T Count, void* User)
{
    TMemory& M = *static_cast<TMemory*>(User);
    if (Count < 0) {
        const size_t Back = static_cast<size_t>(-Count);
        if (Back > M.Pos)
            return -1;
        M.Pos -= Back;
        return Count;
    }
    const size_t N = std::min(static_cast<size_t>(Count), M.Size - std::min(M.Pos, M.Size));
    M.Pos += N;
    return static_cast<OPJ_OFF_T>(N);
}

OPJ_BOOL SeekMemory(OPJ_OFF_T Pos, void* User)
{
    TMemory& M = *static_cast<TMemory*>(User);
    if (Pos < 0 || static_cast<uint64_t>(Pos) > M.Size)
        return OPJ_FALSE;
    M.Pos = static_cast<size_t>(Pos);
    return OPJ_TRUE;
}

void KeepMessage(const char* Message, void* User)
{
    std::string& S = *static_cast<std::string*>(User);
    if (S.empty()) {
        S = Message;
        while (!S.empty() && (S.back() == '\n' || S.back() == ' '))
            S.pop_back();
    }
}

void Ignore(const char*, void*) {}

struct TOpenJPEG {
    opj_stream_t* Stream = nullptr;
    opj_codec_t* Codec = nullptr;
    opj_image_t* Image = nullptr;
    ~TOpenJPEG()
    {
        if (Image)
            opj_image_destroy(Image);
        if (Codec)
            opj_destroy_codec(Codec);
        if (Stream)
            opj_stream_destroy(Stream);
    }
};

} // namespace

namespace {

// Where the first frame header (a JPEG-LS one included) of a JPEG stream
// starts, after the tables and comments before it; N when the stream has
// none before its first scan or is not JPEG.
size_t FindFrameHeader(const uint8_t* S, size_t N)
{
    if (N < 4 || S[0] != 0xFF || S[1] != 0xD8)
        return N;
    size_t P = 2;
    while (P + 1 < N) {
        if (S[P] != 0xFF)
            return N;
        const uint8_t M = S[P + 1];
        if (M == 0xFF) { // fill byte
            ++P;
            continue;
        }
        if (M == 0xF7 || IsFrameHeader(M))
            return P;
        if (M == 0xDA || M == 0xD9 || P + 3 >= N)
            return N;
        if (M == 0x01 || (M >= 0xD0 && M <= 0xD7)) {
            P += 2;
            continue;
        }
        P += 2 + (static_cast<size_t>(S[P + 2]) << 8 | S[P + 3]);
    }
    return N;
}

} // namespace

TStreamKind ClassifyStream(const uint8_t* S, size_t N)
{
    if (N >= 4 && S[0] == 0xFF && S[1] == 0x4F && S[2] == 0xFF && S[3] == 0x51)
        return skJPEG2000;
    static const uint8_t JP2[12] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
    if (N >= 12 && std::memcmp(S, JP2, 12) == 0)
        return skJPEG2000;
    const size_t P = FindFrameHeader(S, N);
    if (P >= N)
        return skOther;
    const uint8_t M = S[P + 1];
    return M == 0xF7 ? skJPEGLS : M == 0xC3 ? skLossless : skJPEG;
}

int FramePrecision(const uint8_t* S, size_t N)
{
    // Marker, length, then the sample precision.
    const size_t P = FindFrameHeader(S, N);
    return P < N && N - P > 4 ? S[P + 4] : 0;
}

TCompressionKind FrameCompression(const TDICOMattribute& FirstFragment, const TransferSyntaxState& TS)
{
    const TCompressionKind Kind = TS.Compression;
    if (!TS.Compressed || (Kind != ckJPEG && Kind != ckLosslessJPEG) || FirstFragment.Stream == nullptr)
        return Kind;
    // The frame header comes early; tables and comments before it are short.
    std::vector<uint8_t> Head(std::min<uint32_t>(FirstFragment.Length, 64 * 1024));
    TStream& S = *FirstFragment.Stream;
    const int64_t Saved = S.Position();
    S.Seek(FirstFragment.ValueOffset);
    Head.resize(S.Read(Head.data(), Head.size()));
    S.Seek(Saved);
    switch (ClassifyStream(Head.data(), Head.size())) {
    case skJPEG: return ckJPEG;
    case skLossless: return ckLosslessJPEG;
    case skJPEGLS: return ckJPEGLS;
    case skJPEG2000: return ckJPEG2000;
    default: return Kind;
    }
}

bool DecodeJPEGLS(const uint8_t* Stream, size_t Size, TData28& Data)
{
    TCharLSDecoder D;
    if (D.D == nullptr)
        throw std::bad_alloc();
    // CharLS reads on past the end of a stream cut short as if it went on,
    // for seconds on a large frame; an end marker after the data stops it
    // where the data stops. A whole stream ends with one already (and
    // perhaps the pad byte of an odd fragment).
    std::vector<uint8_t> Ended;
    const bool HasEnd = (Size >= 2 && Stream[Size - 2] == 0xFF && Stream[Size - 1] == 0xD9) ||
                        (Size >= 3 && Stream[Size - 3] == 0xFF && Stream[Size - 2] == 0xD9 && Stream[Size - 1] == 0);
    if (!HasEnd) {
        Ended.reserve(Size + 2);
        Ended.assign(Stream, Stream + Size);
        Ended.push_back(0xFF);
        Ended.push_back(0xD9);
        Stream = Ended.data();
        Size = Ended.size();
    }
    CheckCharLS(charls_jpegls_decoder_set_source_buffer(D.D, Stream, Size));
    CheckCharLS(charls_jpegls_decoder_read_header(D.D));
    charls_frame_info Info{};
    CheckCharLS(charls_jpegls_decoder_get_frame_info(D.D, &Info));
    charls_interleave_mode Mode{};
    CheckCharLS(charls_jpegls_decoder_get_interleave_mode(D.D, &Mode));
    TLayout L;
    if (Info.bits_per_sample < 2 || Info.bits_per_sample > Data.BitsAllocated ||
        !LayoutFor(Data, Info.width, Info.height, static_cast<uint32_t>(Info.component_count), L))
        return false;
    size_t Needed = 0;
    CheckCharLS(charls_jpegls_decoder_get_destination_size(D.D, 0, &Needed));
    const uint32_t In = Info.bits_per_sample > 8 ? 2 : 1;
    if (Needed != L.Pixels * L.Samples * In)
        return false;
    std::vector<uint8_t> Raw(Needed);
    CheckCharLS(charls_jpegls_decoder_decode_to_buffer(D.D, Raw.data(), Raw.size(), 0));

    // CharLS gives planes for a scan of one component at a time, pixels
    // otherwise; samples are bytes up to 8 bits, host-order words above.
    const bool RawPlanar = Mode == charls::interleave_mode::none;
    Data.Pixels.assign(L.Pixels * L.Samples * L.Width, 0);
    for (uint32_t C = 0; C < L.Samples; ++C) {
        for (uint64_t K = 0; K < L.Pixels; ++K) {
            const uint64_t I = RawPlanar ? C * L.Pixels + K : K * L.Samples + C;
            uint32_t V;
            if (In == 1) {
                V = Raw[I];
            } else {
                uint16_t W;
                std::memcpy(&W, &Raw[2 * I], 2);
                V = W;
            }
            Store(&Data.Pixels[L.Offset(K, C)], V, L.Width);
        }
    }
    return true;
}

namespace {

uint32_t Big32(const uint8_t* P) { return uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | P[3]; }

// The codestream of a JP2 file: the content of its first 'jp2c' box.
// Gives the stream itself when it is not in boxes, null when no box holds one.
const uint8_t* FindCodestream(const uint8_t* P, size_t N, size_t& Count)
{
    if (N >= 2 && P[0] == 0xFF && P[1] == 0x4F) {
        Count = N;
        return P;
    }
    size_t At = 0;
    while (At + 8 <= N) {
        uint64_t Length = Big32(P + At);
        size_t Header = 8;
        if (Length == 1) {
            if (At + 16 > N)
                return nullptr;
            Length = uint64_t(Big32(P + At + 8)) << 32 | Big32(P + At + 12);
            Header = 16;
        } else if (Length == 0) {
            Length = N - At; // to the end of the file
        }
        if (Length < Header || Length > N - At)
            Length = N - At; // a cut box: what is there
        if (std::memcmp(P + At + 4, "jp2c", 4) == 0) {
            Count = static_cast<size_t>(Length - Header);
            return P + At + Header;
        }
        At += static_cast<size_t>(Length);
    }
    return nullptr;
}

// OpenJPEG sets up every tile its header names before it looks at any of
// them: a few hundred bytes claiming millions of one-pixel tiles cost it
// hundreds of megabytes and seconds. The size and the tiles are read here
// first; a size that is not the description's is refused as a mismatch,
// more tiles than any real image uses as an error. What cannot be read is
// left to the library and its own message.
constexpr uint64_t kMaxTiles = 16384;

enum class TSizCheck { Unread, Fits, Mismatch, TooManyTiles };

TSizCheck CheckSiz(const uint8_t* Stream, size_t Size, const TData28& Data)
{
    size_t Count = 0;
    const uint8_t* P = FindCodestream(Stream, Size, Count);
    // SOC, then SIZ: marker, length, Rsiz, eight 32-bit numbers, Csiz.
    if (P == nullptr || Count < 4 + 2 + 2 + 32 + 2 || P[0] != 0xFF || P[1] != 0x4F || P[2] != 0xFF || P[3] != 0x51)
        return TSizCheck::Unread;
    const uint8_t* S = P + 8;
    const uint32_t X = Big32(S), Y = Big32(S + 4), X0 = Big32(S + 8), Y0 = Big32(S + 12);
    const uint32_t TW = Big32(S + 16), TH = Big32(S + 20), TX0 = Big32(S + 24), TY0 = Big32(S + 28);
    const uint32_t Components = uint32_t(S[32]) << 8 | S[33];
    if (X <= X0 || Y <= Y0 || TW == 0 || TH == 0 || TX0 > X0 || TY0 > Y0)
        return TSizCheck::Unread;
    if (X - X0 != Data.Columns || Y - Y0 != Data.Rows || Components != Data.SamplesPerPixel)
        return TSizCheck::Mismatch;
    const uint64_t Across = (uint64_t(X) - TX0 + TW - 1) / TW, Down = (uint64_t(Y) - TY0 + TH - 1) / TH;
    return Across * Down > kMaxTiles ? TSizCheck::TooManyTiles : TSizCheck::Fits;
}

} // namespace

bool DecodeJPEG2000(const uint8_t* Stream, size_t Size, TData28& Data)
{
    switch (CheckSiz(Stream, Size, Data)) {
    case TSizCheck::Mismatch:
        return false;
    case TSizCheck::TooManyTiles:
        throw EJPEGError("JPEG 2000 error: the image is cut into more tiles than can be decoded");
    default:
        break;
    }

    const bool IsJP2 = Size >= 4 && !(Stream[0] == 0xFF && Stream[1] == 0x4F);
    TMemory M{Stream, Size, 0};
    TOpenJPEG J;
    J.Stream = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    J.Codec = opj_create_decompress(IsJP2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    if (J.Stream == nullptr || J.Codec == nullptr)
        throw std::bad_alloc();
    opj_stream_set_user_data(J.Stream, &M, nullptr);
    opj_stream_set_user_data_length(J.Stream, Size);
    opj_stream_set_read_function(J.Stream, ReadMemory);
    opj_stream_set_skip_function(J.Stream, SkipMemory);
    opj_stream_set_seek_function(J.Stream, SeekMemory);
    std::string Message;
    opj_set_error_handler(J.Codec, KeepMessage, &Message);
    opj_set_warning_handler(J.Codec, Ignore, nullptr);
    opj_set_info_handler(J.Codec, Ignore, nullptr);
    opj_dparameters_t Parameters;
    opj_set_default_decoder_parameters(&Parameters);
    const auto Fail = [&] {
        throw EJPEGError("JPEG 2000 error: " + (Message.empty() ? std::string("the stream cannot be decoded") : Message));
    };
    if (!opj_setup_decoder(J.Codec, &Parameters))
        Fail();
    if (!opj_read_header(J.Stream, J.Codec, &J.Image) || J.Image == nullptr)
        Fail();
    // Refuse a mismatch before the library allocates what the stream claims.
    TLayout L;
    if (J.Image->numcomps == 0 || J.Image->comps == nullptr ||
        !LayoutFor(Data, J.Image->x1 - J.Image->x0, J.Image->y1 - J.Image->y0, J.Image->numcomps, L))
        return false;
    if (!opj_decode(J.Codec, J.Stream, J.Image) || !opj_end_decompress(J.Codec, J.Stream))
        Fail();

    const opj_image_t& I = *J.Image;
    for (uint32_t C = 0; C < I.numcomps; ++C) {
        const opj_image_comp_t& Comp = I.comps[C];
        // Subsampled components (YBR 4:2:2 coded as such) do not fit.
        // Samples wider than the description's would lose their top bits.
        if (Comp.w != Data.Columns || Comp.h != Data.Rows || Comp.data == nullptr || Comp.prec > Data.BitsAllocated)
            return false;
    }
    Data.Pixels.assign(L.Pixels * L.Samples * L.Width, 0);
    for (uint32_t C = 0; C < L.Samples; ++C) {
        const OPJ_INT32* Src = I.comps[C].data;
        for (uint64_t K = 0; K < L.Pixels; ++K)
            Store(&Data.Pixels[L.Offset(K, C)], static_cast<uint32_t>(Src[K]), L.Width);
    }
    return true;
}

} // namespace dicom
