#include "writer.h"

#include "charset.h"
#include "element.h"
#include "errors.h"
#include "loader.h"
#include "streams.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <memory>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dicom {

namespace writer_detail {
bool ForceNamedTemp = false;
}

namespace {

constexpr uint32_t kImageComments = 0x00204000;
constexpr uint32_t kGroup0020Length = 0x00200000;
constexpr uint32_t kTransferSyntaxUID = 0x00020010;
constexpr uint32_t kSpecificCharacterSet = 0x00080005;
constexpr uint32_t kMaxLongValueLength = 0xFFFFFFFEu;
// Values at least this long are copied from the source when the target is
// written instead of being held in memory.
constexpr int64_t kReferenceThreshold = 64 * 1024;
constexpr int kMaxSymlinkHops = 40;

// Copies Count bytes from Source's position to Out in pieces, and has the
// system start writing each piece to disk while the next is copied, so the
// sync that ends the write finds little left to do.
void CopyWithWriteback(TFileStream& Out, TStream& Source, int64_t Count)
{
    constexpr int64_t kPiece = 32 << 20;
    while (Count > 0) {
        const int64_t N = std::min(Count, kPiece);
        const int64_t At = Out.Position();
        Out.CopyFrom(Source, N);
        // Only a hint: write errors surface at the sync.
        ::sync_file_range(Out.Handle(), At, N, SYNC_FILE_RANGE_WRITE);
        Count -= N;
    }
}

// The target as a sequence of byte runs: small ones held in memory, large
// values as ranges of the source, copied file to file when the target is
// written. Walking a file with big elements ahead of the comment thus needs
// no more memory than a file with small ones.
class TOutputPlan : public TStream {
public:
    explicit TOutputPlan(const TStream& Source) : Src(Source) {}

    int64_t Position() const override { return Total; }
    int64_t Size() const override { return Total; }
    void Seek(int64_t NewPos) override
    {
        // Output only ever grows at its end.
        if (NewPos != Total)
            throw EWriteError();
    }
    size_t Read(void*, size_t) override { return 0; }
    void WriteBuffer(const void* Buffer, size_t Count) override
    {
        if (Count == 0)
            return;
        if (Runs.empty() || Runs.back().FromSource)
            Runs.emplace_back();
        const auto* P = static_cast<const uint8_t*>(Buffer);
        Runs.back().Bytes.insert(Runs.back().Bytes.end(), P, P + Count);
        Total += static_cast<int64_t>(Count);
    }
    void CopyFrom(TStream& Source, int64_t Count) override
    {
        if (&Source != &Src || Count < kReferenceThreshold) {
            TStream::CopyFrom(Source, Count);
            return;
        }
        const int64_t From = Source.Position();
        if (From + Count > Source.Size())
            throw EReadError();
        TRun R;
        R.FromSource = true;
        R.Offset = From;
        R.Count = Count;
        Runs.push_back(std::move(R));
        Source.Seek(From + Count);
        Total += Count;
    }

    void WriteTo(TFileStream& Out, TStream& Source) const
    {
        for (const auto& R : Runs) {
            if (R.FromSource) {
                Source.Seek(R.Offset);
                CopyWithWriteback(Out, Source, R.Count);
            } else {
                Out.WriteBuffer(R.Bytes.data(), R.Bytes.size());
            }
        }
    }

private:
    struct TRun {
        bool FromSource = false;
        int64_t Offset = 0;
        int64_t Count = 0;
        std::vector<uint8_t> Bytes;
    };
    const TStream& Src;
    std::vector<TRun> Runs;
    int64_t Total = 0;
};

void Put16(TStream& Out, uint16_t V, bool Swap)
{
    if (Swap)
        V = static_cast<uint16_t>((V >> 8) | (V << 8));
    const uint8_t B[2] = {static_cast<uint8_t>(V), static_cast<uint8_t>(V >> 8)};
    Out.WriteBuffer(B, 2);
}

void Put32(TStream& Out, uint32_t V)
{
    const uint8_t B[4] = {static_cast<uint8_t>(V), static_cast<uint8_t>(V >> 8), static_cast<uint8_t>(V >> 16),
                          static_cast<uint8_t>(V >> 24)};
    Out.WriteBuffer(B, 4);
}

// A length that does not fit the element's length field would make the file
// unreadable from this element on.
void CheckValueFits(const std::string& Value, bool ShortLength)
{
    const uint64_t Limit = ShortLength ? kMaxShortValueLength : kMaxLongValueLength;
    if (Value.size() > Limit)
        throw EFormatError("The comment is too long to be saved: with its trailer it takes " +
                           std::to_string(Value.size()) + " bytes, and Image Comments holds at most " +
                           std::to_string(Limit) + " bytes.");
}

// Every explicit VR is two capital letters. Anything else means the walk
// has lost its way in the data (the data set's first element decides its
// encoding, but a damaged file can still mislead the walk later), and an
// element put in at a place found that way would land inside some value.
bool PlausibleVR(const TDICOMattribute& E, const TransferSyntaxState& TS)
{
    if (TS.ImplicitVR && E.Group != 0x0002)
        return true;
    return E.VR[0] >= 'A' && E.VR[0] <= 'Z' && E.VR[1] >= 'A' && E.VR[1] <= 'Z';
}

// A new Image Comments element in the data set's encoding.
void WriteNewComment(TStream& Out, const std::string& Value, const TransferSyntaxState& TS)
{
    Put16(Out, 0x0020, TS.BigEndian);
    Put16(Out, 0x4000, TS.BigEndian);
    if (TS.ImplicitVR) {
        Put32(Out, static_cast<uint32_t>(Value.size()));
    } else {
        Out.WriteBuffer("LT", 2);
        Put16(Out, static_cast<uint16_t>(Value.size()), TS.BigEndian);
    }
    Out.WriteBuffer(Value.data(), Value.size());
}

// (0008,0005) of a data set that names it only after the comment's place:
// the rest of the top level is walked for it, and a walk that fails on the
// way just ends the search. Source's position is kept.
std::string CharsetFurtherOn(TStream& Source, TransferSyntaxState TS)
{
    const int64_t Saved = Source.Position();
    std::string Found;
    try {
        const int64_t Size = Source.Size();
        while (Source.Position() < Size) {
            CheckDataSetStart(Source, TS);
            const TDICOMattribute E(Source, TS);
            if (E.Tag() == kSpecificCharacterSet) {
                Found = E.ReadString(Source);
                break;
            }
        }
    } catch (const std::exception&) {
    }
    Source.Seek(Saved);
    return Found;
}

// The stored comment in the data set's character set. Refuses a comment that
// the set cannot hold, before anything is written; the date and time of the
// trailer are ours and take "?" for what the set lacks.
std::string EncodedCommentValue(const std::string& Comment, const std::string& DateTime, const std::string& Charset,
                                const std::string& TargetName)
{
    const TCharacterSet CS(Charset);
    std::string Text;
    // Trimmed before encoding: an escape sequence that ends the encoded text
    // must stay.
    if (!CS.Encode(TrimValue(Comment), TTextKind::Text, Text))
        throw EFormatError(TargetName +
                           " could not be written: the comment holds characters that the file's character set cannot "
                           "store.");
    return CommentValueOf(Text, CS.EncodeLossy(DateTime, TTextKind::Text));
}

// ------------------------------------------------------------ the target

// Raised for anything that stops the target from being written; the
// message is the one the user sees.
class ETargetError : public EDicomError {
public:
    explicit ETargetError(const std::string& TargetName) : EDicomError(TargetName + " could not be written.") {}
};

std::string DirName(const std::string& Path)
{
    const size_t Slash = Path.find_last_of('/');
    if (Slash == std::string::npos)
        return ".";
    if (Slash == 0)
        return "/";
    return Path.substr(0, Slash);
}

std::string BaseName(const std::string& Path)
{
    const size_t Slash = Path.find_last_of('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

// The file a target name stands for: symbolic links are followed, also
// dangling ones, so that saving through a link replaces the file it names
// and leaves the link in place.
std::string ResolveLinks(const std::string& TargetName)
{
    std::string Path = TargetName;
    for (int Hop = 0; Hop < kMaxSymlinkHops; ++Hop) {
        struct stat St {};
        if (::lstat(Path.c_str(), &St) != 0 || !S_ISLNK(St.st_mode))
            return Path;
        std::string Link(PATH_MAX, '\0');
        const ssize_t N = ::readlink(Path.c_str(), Link.data(), Link.size());
        if (N <= 0 || static_cast<size_t>(N) >= Link.size())
            throw ETargetError(TargetName);
        Link.resize(static_cast<size_t>(N));
        Path = Link[0] == '/' ? Link : DirName(Path) + "/" + Link;
    }
    throw ETargetError(TargetName);
}

std::string RandomSuffix()
{
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    uint8_t Raw[8];
    if (::getrandom(Raw, sizeof Raw, 0) != static_cast<ssize_t>(sizeof Raw)) {
        const uint64_t Seed = static_cast<uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ull ^
                              static_cast<uint64_t>(std::time(nullptr)) ^ reinterpret_cast<uintptr_t>(&Raw);
        for (size_t I = 0; I < sizeof Raw; ++I)
            Raw[I] = static_cast<uint8_t>(Seed >> (8 * I));
    }
    std::string S;
    for (uint8_t B : Raw)
        S += kDigits[B % 36];
    return S;
}

// The new content on its way to the target: an unnamed file in the target's
// folder where the file system offers them (nothing is left behind even if
// the process is killed), else a hidden name beside the target. Removed
// unless published.
class TTempFile {
public:
    TTempFile(const std::string& Dir, const std::string& Base, const std::string& TargetName)
        : Folder(Dir), Stem("." + Base.substr(0, 128) + ".varnelo-"), Target(TargetName)
    {
        if (!writer_detail::ForceNamedTemp) {
            Fd = ::open(Folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
            if (Fd >= 0)
                return;
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
                throw ETargetError(Target);
        }
        for (int Try = 0; Try < 100 && Fd < 0; ++Try) {
            const std::string Candidate = Folder + "/" + Stem + RandomSuffix();
            Fd = ::open(Candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (Fd >= 0)
                Name = Candidate;
            else if (errno != EEXIST)
                break;
        }
        if (Fd < 0)
            throw ETargetError(Target);
    }
    ~TTempFile()
    {
        if (Fd >= 0)
            ::close(Fd);
        if (!Name.empty() && !Published)
            ::unlink(Name.c_str());
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;

    int Handle() const { return Fd; }
    std::string Label() const { return Name.empty() ? Folder + "/(unnamed)" : Name; }

    // Puts the finished file in place of Path in one step.
    void Publish(const std::string& Path)
    {
        if (Name.empty()) {
            // An unnamed file needs a name first; renaming that name over the
            // target is the one atomic replace the file system offers.
            const std::string Self = "/proc/self/fd/" + std::to_string(Fd);
            for (int Try = 0; Try < 100 && Name.empty(); ++Try) {
                const std::string Candidate = Folder + "/" + Stem + RandomSuffix();
                if (::linkat(AT_FDCWD, Self.c_str(), AT_FDCWD, Candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
                    ::linkat(Fd, "", AT_FDCWD, Candidate.c_str(), AT_EMPTY_PATH) == 0)
                    Name = Candidate;
                else if (errno != EEXIST)
                    break;
            }
            if (Name.empty())
                throw ETargetError(Target);
        }
        if (::rename(Name.c_str(), Path.c_str()) != 0)
            throw ETargetError(Target);
        Published = true;
        // Make the rename itself durable; the data already is.
        const int Dir = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (Dir >= 0) {
            ::fsync(Dir);
            ::close(Dir);
        }
    }

private:
    std::string Folder, Stem, Target;
    std::string Name;
    int Fd = -1;
    bool Published = false;
};

// Writes the planned output and the rest of the source from Resume into a
// temporary file, syncs it, and renames it over the target. Any failure but
// a short source leaves the target as it was and reads TargetName + " could
// not be written.".
void WriteTarget(const std::string& TargetName, const TOutputPlan& Plan, TFileStream& Source, int64_t Resume)
{
    try {
        const std::string Path = ResolveLinks(TargetName);
        const std::string Base = BaseName(Path);
        if (Base.empty())
            throw ETargetError(TargetName);
        struct stat Old {};
        const bool Exists = ::stat(Path.c_str(), &Old) == 0;
        // Only a regular file is ever replaced, and only one the user may write.
        if (Exists && (!S_ISREG(Old.st_mode) || ::access(Path.c_str(), W_OK) != 0))
            throw ETargetError(TargetName);

        TTempFile Temp(DirName(Path), Base, TargetName);
        const int Dup = ::fcntl(Temp.Handle(), F_DUPFD_CLOEXEC, 0);
        if (Dup < 0)
            throw ETargetError(TargetName);
        TFileStream Out(Dup, Temp.Label());
        Plan.WriteTo(Out, Source);
        const int64_t End = Source.Size();
        if (Resume < End) {
            Source.Seek(Resume);
            CopyWithWriteback(Out, Source, End - Resume);
        }
        if (Exists) {
            // Ownership is kept where we may; the permission bits always.
            if (Old.st_uid != ::geteuid() || Old.st_gid != ::getegid())
                (void)::fchown(Temp.Handle(), Old.st_uid, Old.st_gid);
            if (::fchmod(Temp.Handle(), Old.st_mode & 07777) != 0)
                throw ETargetError(TargetName);
        }
        Out.Sync();
        Out.Close();
        Temp.Publish(Path);
    } catch (const EReadError&) {
        throw;
    } catch (const ETargetError&) {
        throw;
    } catch (const std::exception&) {
        throw ETargetError(TargetName);
    }
}

void Report(const TCommentWriterHooks& Hooks, const std::string& Message)
{
    if (Hooks.ReportError)
        Hooks.ReportError(Message);
    else
        std::fprintf(stderr, "%s\n", Message.c_str());
}

} // namespace

std::string LocaleDateTimeText()
{
    const std::time_t Now = std::time(nullptr);
    struct tm Local {};
    ::localtime_r(&Now, &Local);
    locale_t Loc = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (Loc == static_cast<locale_t>(0))
        Loc = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    char Buffer[256];
    size_t N = 0;
    std::string Codeset = "UTF-8";
    if (Loc != static_cast<locale_t>(0)) {
        N = ::strftime_l(Buffer, sizeof Buffer, "%x %X", &Local, Loc);
        Codeset = ::nl_langinfo_l(CODESET, Loc);
        ::freelocale(Loc);
    } else {
        N = std::strftime(Buffer, sizeof Buffer, "%x %X", &Local);
    }
    return TextToUTF8(std::string(Buffer, N), Codeset);
}

std::string CommentValue(const std::string& Comment, const std::string& DateTime)
{
    return CommentValueOf(TrimValue(Comment), DateTime);
}

std::string CommentValueOf(const std::string& Text, const std::string& DateTime)
{
    const std::string CRLF = "\r\n";
    const std::string Stars = kCommentTrailerRule;
    std::string V = Text;
    V += CRLF + CRLF + Stars;
    V += CRLF + kCommentTrailerIntro;
    V += CRLF + kCommentTrailerNotice;
    V += CRLF + kProductWebAddress;
    V += CRLF + CRLF + DateTime;
    V += CRLF + Stars;
    if (V.size() % 2 != 0)
        V += ' ';
    return V;
}

std::string CommentWithoutTrailers(const std::string& Value)
{
    const std::string Rule = kCommentTrailerRule;
    std::string Out = Value;
    for (size_t From = 0;;) {
        const size_t Open = Out.find(Rule, From);
        if (Open == std::string::npos)
            return Out;
        // Only a rule followed by the trailer's first line opens one.
        size_t Next = Open + Rule.size();
        while (Next < Out.size() && (Out[Next] == '\r' || Out[Next] == '\n'))
            ++Next;
        if (Out.compare(Next, sizeof kCommentTrailerIntro - 1, kCommentTrailerIntro) != 0) {
            From = Open + 1;
            continue;
        }
        const size_t Close = Out.find(Rule, Next);
        size_t End = Close == std::string::npos ? Out.size() : Close + Rule.size();
        while (End < Out.size() && Out[End] == ' ') // the padding to even length
            ++End;
        size_t Start = Open;
        while (Start > 0 && (Out[Start - 1] == '\r' || Out[Start - 1] == '\n'))
            --Start;
        Out.erase(Start, End - Start);
        From = Start;
    }
}

bool WriteDICOMComment(const std::string& SourceName, const std::string& TargetName, const std::string& Comment,
                       const TCommentWriterHooks& Hooks)
{
    try {
        TransferSyntaxState TS;
        TS.Compressed = false;
        TS.Compression = ckNone;
        std::unique_ptr<TFileStream> Source;
        try {
            Source = std::make_unique<TFileStream>(SourceName, TFileStream::fmOpenRead);
        } catch (const EFOpenError&) {
            throw EFOpenError(SourceName + " could not be opened.");
        }
        TOutputPlan Plan(*Source);
        CheckPreamble(*Source, &Plan, TS);
        const std::string DateTime = Hooks.DateTimeText ? Hooks.DateTimeText() : LocaleDateTimeText();
        std::string Charset;
        bool CharsetSeen = false;
        auto Value = [&]() {
            if (!CharsetSeen)
                Charset = CharsetFurtherOn(*Source, TS);
            return EncodedCommentValue(Comment, DateTime, Charset, TargetName);
        };

        const int64_t Size = Source->Size();
        int64_t Resume = -1;
        while (Resume < 0 && Source->Position() < Size) {
            const int64_t Start = Source->Position();
            CheckDataSetStart(*Source, TS);
            const TDICOMattribute E(*Source, TS);
            if (!PlausibleVR(E, TS))
                throw EFormatError(SourceName + " is not a DICOM file.");
            const uint32_t Tag = E.Tag();
            if (E.Group == 0x0002) {
                if (Tag == kTransferSyntaxUID)
                    SetTransferSyntax(TrimValue(E.ReadString(*Source)), TS);
                E.CopyTo(Plan, *Source, TS);
            } else if (Tag == kGroup0020Length) {
                // Dropped: the new comment changes the group's length.
            } else if (Tag == kImageComments) {
                const std::string V = Value();
                CheckValueFits(V, !TS.ImplicitVR && !TDICOMattribute::IsLongFormVR(E.VR));
                E.WriteReplaced(V, Plan, TS);
                Resume = Source->Position();
            } else if (Tag > kImageComments) {
                const std::string V = Value();
                CheckValueFits(V, !TS.ImplicitVR);
                WriteNewComment(Plan, V, TS);
                Resume = Start;
            } else {
                if (Tag == kSpecificCharacterSet) {
                    Charset = E.ReadString(*Source);
                    CharsetSeen = true;
                }
                E.CopyTo(Plan, *Source, TS);
            }
        }
        if (Resume < 0)
            throw EFormatError(SourceName + " is not a valid DICOM Image.");
        WriteTarget(TargetName, Plan, *Source, Resume);
        return true;
    } catch (const EDicomError& E) {
        Report(Hooks, E.what());
    } catch (...) {
        Report(Hooks, SourceName + " is not a DICOM file.");
    }
    return false;
}

} // namespace dicom
