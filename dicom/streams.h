// Seekable byte streams: a buffered file stream and an in-memory stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dicom {

class TStream {
public:
    virtual ~TStream() = default;
    virtual int64_t Position() const = 0;
    virtual int64_t Size() const = 0;
    // Positions past the end are allowed; reads there return nothing.
    virtual void Seek(int64_t Pos) = 0;
    // Plain read: returns how many bytes were there (possibly fewer).
    virtual size_t Read(void* Buffer, size_t Count) = 0;
    // Exact write; raises EWriteError when the bytes cannot be written.
    virtual void WriteBuffer(const void* Buffer, size_t Count) = 0;

    // Exact read; raises EReadError when fewer than Count bytes are there.
    void ReadBuffer(void* Buffer, size_t Count);
    // Copies Count bytes from Source's position through a bounded buffer;
    // raises EReadError when Source ends first.
    virtual void CopyFrom(TStream& Source, int64_t Count);
    void Skip(int64_t Count) { Seek(Position() + Count); }
};

class TFileStream : public TStream {
public:
    enum TMode { fmOpenRead, fmCreate, fmOpenReadWrite };
    // fmCreate creates or truncates with mode 0666 (less the umask).
    // Failure raises EFOpenError naming the file.
    TFileStream(const std::string& FileName, TMode Mode);
    // Takes over an open descriptor (closed by the stream).
    TFileStream(int Fd, std::string FileName);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Position() const override { return Pos; }
    int64_t Size() const override;
    void Seek(int64_t NewPos) override;
    size_t Read(void* Buffer, size_t Count) override;
    void WriteBuffer(const void* Buffer, size_t Count) override;
    void CopyFrom(TStream& Source, int64_t Count) override;

    // Writes out buffered bytes; raises EWriteError on failure.
    void Flush();
    // Flush, then fsync; raises EWriteError on failure.
    void Sync();
    // Flush and close; raises EWriteError when buffered bytes cannot be written.
    void Close();
    int Handle() const { return Fd; }
    const std::string& FileName() const { return Name; }

private:
    void DropReadBuffer();
    int Fd = -1;
    std::string Name;
    int64_t Pos = 0;
    mutable int64_t CachedSize = -1;
    // Read cache: bytes of the file from RdStart, RdLen long.
    std::vector<uint8_t> RdBuf;
    int64_t RdStart = 0;
    size_t RdLen = 0;
    size_t FillSize = 0;
    // Write buffer: bytes destined for WrStart onwards.
    std::vector<uint8_t> WrBuf;
    int64_t WrStart = 0;
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> Bytes) : Data(std::move(Bytes)) {}
    TMemoryStream(const void* Bytes, size_t Count);

    int64_t Position() const override { return Pos; }
    int64_t Size() const override { return static_cast<int64_t>(Data.size()); }
    void Seek(int64_t NewPos) override { Pos = NewPos < 0 ? 0 : NewPos; }
    size_t Read(void* Buffer, size_t Count) override;
    void WriteBuffer(const void* Buffer, size_t Count) override;

    const std::vector<uint8_t>& Bytes() const { return Data; }
    std::vector<uint8_t>& Bytes() { return Data; }

private:
    std::vector<uint8_t> Data;
    int64_t Pos = 0;
};

} // namespace dicom
