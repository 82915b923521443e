#include "streams.h"

#include "errors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dicom {

namespace {
constexpr size_t kReadCache = 64 * 1024;
constexpr size_t kMinFill = 512;
constexpr size_t kWriteBuffer = 1024 * 1024;
constexpr size_t kCopyChunk = 1024 * 1024;
} // namespace

void TStream::ReadBuffer(void* Buffer, size_t Count)
{
    if (Count != 0 && Read(Buffer, Count) != Count)
        throw EReadError();
}

void TStream::CopyFrom(TStream& Source, int64_t Count)
{
    std::vector<uint8_t> Chunk(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(Count, 0), kCopyChunk)));
    while (Count > 0) {
        const size_t N = static_cast<size_t>(std::min<int64_t>(Count, static_cast<int64_t>(Chunk.size())));
        Source.ReadBuffer(Chunk.data(), N);
        WriteBuffer(Chunk.data(), N);
        Count -= static_cast<int64_t>(N);
    }
}

// ---------------------------------------------------------------- file

TFileStream::TFileStream(const std::string& FileName, TMode Mode) : Name(FileName)
{
    int Flags = O_CLOEXEC;
    switch (Mode) {
    case fmOpenRead: Flags |= O_RDONLY; break;
    case fmCreate: Flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case fmOpenReadWrite: Flags |= O_RDWR; break;
    }
    Fd = ::open(FileName.c_str(), Flags, 0666);
    if (Fd < 0) {
        const int Err = errno;
        if (Mode == fmCreate)
            throw EFOpenError("Cannot create file \"" + FileName + "\". " + std::strerror(Err));
        throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(Err));
    }
    if (Mode != fmCreate) {
        struct stat St {};
        if (::fstat(Fd, &St) == 0 && S_ISDIR(St.st_mode)) {
            ::close(Fd);
            Fd = -1;
            throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(EISDIR));
        }
    }
}

TFileStream::TFileStream(int Handle, std::string FileName) : Fd(Handle), Name(std::move(FileName)) {}

TFileStream::~TFileStream()
{
    if (Fd >= 0) {
        try {
            Flush();
        } catch (...) {
            // A destructor cannot report; callers that care call Close().
        }
        ::close(Fd);
    }
}

int64_t TFileStream::Size() const
{
    if (CachedSize < 0) {
        struct stat St {};
        CachedSize = ::fstat(Fd, &St) == 0 ? static_cast<int64_t>(St.st_size) : 0;
    }
    return std::max<int64_t>(CachedSize, WrStart + static_cast<int64_t>(WrBuf.size()));
}

void TFileStream::Seek(int64_t NewPos) { Pos = NewPos < 0 ? 0 : NewPos; }

void TFileStream::DropReadBuffer() { RdLen = 0; }

size_t TFileStream::Read(void* Buffer, size_t Count)
{
    if (!WrBuf.empty())
        Flush();
    auto* Out = static_cast<uint8_t*>(Buffer);
    size_t Done = 0;
    while (Done < Count) {
        // Serve from the cache when the position lies inside it.
        if (RdLen != 0 && Pos >= RdStart && Pos < RdStart + static_cast<int64_t>(RdLen)) {
            const size_t Off = static_cast<size_t>(Pos - RdStart);
            const size_t N = std::min(Count - Done, RdLen - Off);
            std::memcpy(Out + Done, RdBuf.data() + Off, N);
            Done += N;
            Pos += static_cast<int64_t>(N);
            continue;
        }
        const size_t Want = Count - Done;
        if (Want >= kReadCache) {
            const ssize_t N = ::pread(Fd, Out + Done, Want, Pos);
            if (N < 0 && errno == EINTR)
                continue;
            if (N <= 0)
                break;
            Done += static_cast<size_t>(N);
            Pos += N;
            continue;
        }
        if (RdBuf.size() != kReadCache)
            RdBuf.resize(kReadCache);
        // A walk that hops from header to header reads little at each stop;
        // a sequential reader earns a bigger cache fill.
        const bool Sequential = RdLen != 0 && Pos == RdStart + static_cast<int64_t>(RdLen);
        FillSize = Sequential ? std::min(FillSize * 2, kReadCache) : kMinFill;
        const size_t Fill = std::max(FillSize, std::min(Want, kReadCache));
        ssize_t N;
        do {
            N = ::pread(Fd, RdBuf.data(), Fill, Pos);
        } while (N < 0 && errno == EINTR);
        if (N <= 0) {
            RdLen = 0;
            break;
        }
        RdStart = Pos;
        RdLen = static_cast<size_t>(N);
    }
    return Done;
}

void TFileStream::WriteBuffer(const void* Buffer, size_t Count)
{
    if (Count == 0)
        return;
    DropReadBuffer();
    if (WrBuf.empty())
        WrStart = Pos;
    else if (Pos != WrStart + static_cast<int64_t>(WrBuf.size())) {
        Flush();
        WrStart = Pos;
    }
    if (WrBuf.size() + Count > kWriteBuffer) {
        Flush();
        WrStart = Pos;
        if (Count >= kWriteBuffer) {
            auto* In = static_cast<const uint8_t*>(Buffer);
            size_t Done = 0;
            while (Done < Count) {
                const ssize_t N = ::pwrite(Fd, In + Done, Count - Done, Pos + static_cast<int64_t>(Done));
                if (N < 0 && errno == EINTR)
                    continue;
                if (N <= 0)
                    throw EWriteError();
                Done += static_cast<size_t>(N);
            }
            Pos += static_cast<int64_t>(Count);
            CachedSize = -1;
            return;
        }
    }
    const auto* In = static_cast<const uint8_t*>(Buffer);
    WrBuf.insert(WrBuf.end(), In, In + Count);
    Pos += static_cast<int64_t>(Count);
}

void TFileStream::Flush()
{
    size_t Done = 0;
    while (Done < WrBuf.size()) {
        const ssize_t N = ::pwrite(Fd, WrBuf.data() + Done, WrBuf.size() - Done, WrStart + static_cast<int64_t>(Done));
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0) {
            // Keep what could not be written out of the buffer so a retry
            // does not write it twice at the wrong place.
            WrBuf.clear();
            CachedSize = -1;
            throw EWriteError();
        }
        Done += static_cast<size_t>(N);
    }
    WrBuf.clear();
    CachedSize = -1;
}

void TFileStream::Sync()
{
    Flush();
    if (::fsync(Fd) != 0)
        throw EWriteError();
}

void TFileStream::Close()
{
    if (Fd < 0)
        return;
    try {
        Flush();
    } catch (...) {
        ::close(Fd);
        Fd = -1;
        throw;
    }
    const int Rc = ::close(Fd);
    Fd = -1;
    if (Rc != 0)
        throw EWriteError();
}

void TFileStream::CopyFrom(TStream& Source, int64_t Count)
{
    // File to file: let the kernel move the bytes without a trip through us.
    if (auto* Src = dynamic_cast<TFileStream*>(&Source); Src != nullptr && Count > 0) {
        Flush();
        DropReadBuffer();
        if (!Src->WrBuf.empty())
            Src->Flush();
        if (Src->Pos + Count > Src->Size())
            throw EReadError();
        loff_t In = Src->Pos;
        loff_t Out = Pos;
        int64_t Left = Count;
        bool Fallback = false;
        while (Left > 0) {
            const ssize_t N = ::copy_file_range(Src->Fd, &In, Fd, &Out, static_cast<size_t>(std::min<int64_t>(Left, 1 << 30)), 0);
            if (N < 0 && errno == EINTR)
                continue;
            if (N < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) && Left == Count) {
                Fallback = true;
                break;
            }
            if (N < 0)
                throw EWriteError();
            if (N == 0)
                throw EReadError();
            Left -= N;
        }
        if (!Fallback) {
            Src->Pos += Count;
            Pos += Count;
            CachedSize = -1;
            return;
        }
    }
    TStream::CopyFrom(Source, Count);
}

// ---------------------------------------------------------------- memory

TMemoryStream::TMemoryStream(const void* Bytes, size_t Count)
    : Data(static_cast<const uint8_t*>(Bytes), static_cast<const uint8_t*>(Bytes) + Count)
{
}

size_t TMemoryStream::Read(void* Buffer, size_t Count)
{
    if (Pos >= static_cast<int64_t>(Data.size()))
        return 0;
    const size_t N = std::min(Count, Data.size() - static_cast<size_t>(Pos));
    std::memcpy(Buffer, Data.data() + Pos, N);
    Pos += static_cast<int64_t>(N);
    return N;
}

void TMemoryStream::WriteBuffer(const void* Buffer, size_t Count)
{
    if (Count == 0)
        return;
    const size_t End = static_cast<size_t>(Pos) + Count;
    if (End > Data.size())
        Data.resize(End);
    std::memcpy(Data.data() + Pos, Buffer, Count);
    Pos = static_cast<int64_t>(End);
}

} // namespace dicom
