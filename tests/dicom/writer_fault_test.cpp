// The comment writer when writing fails: nothing is lost, nothing is left.
#include "dicom.h"
#include "dicomgen.h"
#include "writer_testutil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testgen;
using namespace writertest;

namespace {

// An explicit little endian image with Size bytes of pixel data.
Bytes Image(size_t Size, const std::string& Comment)
{
    DataSet D(false, false);
    D.Add(0x0008, 0x0060, "CS", "OT");
    D.Add(0x0020, 0x0013, "IS", "1");
    D.Add(0x0020, 0x4000, "LT", Comment);
    D.US(0x0028, 0x0010, 1);
    Bytes Pixels(Size);
    for (size_t I = 0; I < Size; ++I)
        Pixels[I] = static_cast<uint8_t>(I ^ (I >> 9));
    D.AddRaw(0x7FE0, 0x0010, "OB", Pixels);
    return Part10(kExplicitLE, D);
}

struct TChild {
    bool Exited = false;
    int Signal = 0;
    TResult R;
};

// Runs the writer in a child process after Prepare, so limits and lost
// privileges stay there.
TChild InChild(const std::function<void()>& Prepare, const std::string& Source, const std::string& Target)
{
    int P[2];
    if (::pipe(P) != 0)
        throw std::runtime_error("pipe");
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        ::close(P[0]);
        Prepare();
        const TResult R = Write(Source, Target, "Written in a child");
        std::string Out = R.Ok ? "1" : "0";
        for (const auto& M : R.Messages)
            Out += "\n" + M;
        (void)!::write(P[1], Out.data(), Out.size());
        ::_exit(0);
    }
    ::close(P[1]);
    std::string In;
    char Buf[4096];
    ssize_t N;
    while ((N = ::read(P[0], Buf, sizeof Buf)) > 0)
        In.append(Buf, static_cast<size_t>(N));
    ::close(P[0]);
    int Status = 0;
    ::waitpid(Pid, &Status, 0);
    TChild C;
    C.Exited = WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
    C.Signal = WIFSIGNALED(Status) ? WTERMSIG(Status) : 0;
    if (!In.empty()) {
        C.R.Ok = In[0] == '1';
        size_t At = In.find('\n');
        while (At != std::string::npos) {
            const size_t Next = In.find('\n', At + 1);
            C.R.Messages.push_back(In.substr(At + 1, Next == std::string::npos ? std::string::npos : Next - At - 1));
            At = Next;
        }
    }
    return C;
}

// As root, folder permissions bind nobody: become an ordinary user.
void DropPrivileges()
{
    if (::geteuid() != 0)
        return;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)
        ::_exit(3);
}

// Whether the ordinary user can reach Path at all: a checkout inside a
// private folder (mktemp -d makes one) keeps it out before any write.
bool ReachableUnprivileged(const std::string& Path)
{
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        DropPrivileges();
        ::_exit(::access(Path.c_str(), X_OK) == 0 ? 0 : 1);
    }
    int Status = 0;
    ::waitpid(Pid, &Status, 0);
    return WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
}

TEST(WriterFault, FolderWithoutWritePermission)
{
    const bool Private =
        !ReachableUnprivileged(std::filesystem::path(TTempFolder("probe").Path).parent_path().string());
    TTempFolder Dir("ro", Private ? "/tmp" : "");
    ::chmod(Dir.Path.c_str(), 0755);
    const std::string Ro = Dir.Path + "/ro";
    ::mkdir(Ro.c_str(), 0755);
    const std::string Src = Dir.Path + "/src.dcm";
    WriteFile(Src, Image(4096, "old"));
    WriteFile(Ro + "/old.dcm", Bytes{'o', 'l', 'd'});
    WriteFile(Ro + "/self.dcm", Image(4096, "self"));
    ::chmod(Src.c_str(), 0644);
    // The files themselves are writable; only the folder is not.
    ::chmod((Ro + "/old.dcm").c_str(), 0666);
    ::chmod((Ro + "/self.dcm").c_str(), 0666);
    ::chmod(Ro.c_str(), 0555);
    const auto Before = Dir.Snapshot();
    struct {
        std::string Source, Target;
    } Cases[] = {{Src, Ro + "/new.dcm"}, {Src, Ro + "/old.dcm"}, {Ro + "/self.dcm", Ro + "/self.dcm"}};
    for (const auto& C : Cases) {
        for (bool Named : {false, true}) {
            SCOPED_TRACE(C.Target + (Named ? " (named)" : ""));
            const TChild Child = InChild(
                [&] {
                    dicom::writer_detail::ForceNamedTemp = Named;
                    DropPrivileges();
                },
                C.Source, C.Target);
            ASSERT_TRUE(Child.Exited);
            EXPECT_FALSE(Child.R.Ok);
            EXPECT_EQ(Child.R.Messages, std::vector<std::string>{C.Target + " could not be written."});
            EXPECT_EQ(Dir.Snapshot(), Before);
        }
    }
}

TEST(WriterFault, TargetThatCannotBeReplaced)
{
    TTempFolder Dir("folder");
    const std::string Src = Dir.Path + "/src.dcm";
    WriteFile(Src, Image(4096, "old"));
    ::mkdir((Dir.Path + "/folder.dcm").c_str(), 0755);
    WriteFile(Dir.Path + "/folder.dcm/inside", Bytes{'i'});
    ::mkfifo((Dir.Path + "/fifo.dcm").c_str(), 0644);
    ::symlink("loop2.lnk", (Dir.Path + "/loop1.lnk").c_str());
    ::symlink("loop1.lnk", (Dir.Path + "/loop2.lnk").c_str());
    const auto Before = Dir.Snapshot();
    const auto Names = Dir.Names();
    for (const char* T : {"/folder.dcm", "/folder.dcm/", "/fifo.dcm", "/loop1.lnk", "/nofolder/x.dcm"}) {
        SCOPED_TRACE(T);
        const TResult R = Write(Src, Dir.Path + T, "c");
        EXPECT_FALSE(R.Ok);
        EXPECT_EQ(R.Messages, std::vector<std::string>{Dir.Path + T + " could not be written."});
        EXPECT_EQ(Dir.Snapshot(), Before);
        EXPECT_EQ(Dir.Names(), Names);
    }
}

TEST(WriterFault, FileSizeLimitPartWay)
{
    // The limit stops the write in the header part or in the middle of the
    // pixel data; with SIGXFSZ ignored the write fails and is reported, with
    // its default action the process dies. Either way nothing changes, and
    // a survived failure leaves no temporary file.
    TTempFolder Dir("fsize");
    const Bytes Source = Image(3 * 1024 * 1024, "old");
    const std::string Src = Dir.Path + "/src.dcm", Old = Dir.Path + "/old.dcm";
    for (rlim_t Limit : {rlim_t(100), rlim_t(1024 * 1024), rlim_t(Source.size() - 2)}) {
        for (bool Ignore : {true, false}) {
            for (bool Named : {false, true}) {
                for (const std::string& Target : {Dir.Path + "/new.dcm", Old, Src}) {
                    SCOPED_TRACE("limit " + std::to_string(Limit) + (Ignore ? " ignored" : " fatal") +
                                 (Named ? " named " : " unnamed ") + Target);
                    WriteFile(Src, Source);
                    WriteFile(Old, Bytes{'o', 'l', 'd'});
                    const auto Before = Dir.Snapshot();
                    const TChild Child = InChild(
                        [&] {
                            dicom::writer_detail::ForceNamedTemp = Named;
                            ::signal(SIGXFSZ, Ignore ? SIG_IGN : SIG_DFL);
                            const rlimit Rl{Limit, Limit};
                            ::setrlimit(RLIMIT_FSIZE, &Rl);
                        },
                        Src, Target);
                    EXPECT_EQ(ReadFile(Src), Source);
                    EXPECT_EQ(ReadFile(Old), (Bytes{'o', 'l', 'd'}));
                    if (Ignore) {
                        ASSERT_TRUE(Child.Exited);
                        EXPECT_FALSE(Child.R.Ok);
                        EXPECT_EQ(Child.R.Messages, std::vector<std::string>{Target + " could not be written."});
                        EXPECT_EQ(Dir.Snapshot(), Before);
                    } else {
                        EXPECT_EQ(Child.Signal, SIGXFSZ);
                        if (!Named) {
                            EXPECT_EQ(Dir.Snapshot(), Before);
                        }
                    }
                    for (const auto& N : Dir.Names())
                        if (N[0] == '.')
                            ::unlink((Dir.Path + "/" + N).c_str());
                }
            }
        }
    }
}

TEST(WriterFault, FilesBeyondTwoGigabytes)
{
    // A sparse source whose private element ahead of the comment ends past
    // 2 GiB: the insertion point, the tail and the target's size all lie
    // beyond what 32-bit offsets hold. Memory-backed /dev/shm, when it has
    // the room, spares the disk 2 GiB of writing.
    struct statvfs Vfs {};
    const bool Shm = ::statvfs("/dev/shm", &Vfs) == 0 && Vfs.f_bavail * Vfs.f_frsize > (8ull << 30);
    std::unique_ptr<TTempFolder> Folder =
        Shm ? std::make_unique<TTempFolder>("huge", "/dev/shm") : std::make_unique<TTempFolder>("huge");
    const TTempFolder& Dir = *Folder;
    const std::string Src = Dir.Path + "/src.dcm", Dst = Dir.Path + "/dst.dcm";
    const uint32_t Blob = 0x88000000u;  // 2.125 GiB
    DataSet Head(false, false);
    Head.Add(0x0008, 0x0060, "CS", "OT").Add(0x0009, 0x0010, "LO", "VARNELO TEST").Header(0x0009, 0x1000, "OB", Blob);
    DataSet Tail(false, false);
    Tail.Add(0x0020, 0x0013, "IS", "1").US(0x0028, 0x0010, 1).AddRaw(0x7FE0, 0x0010, "OB", Bytes(64, 0x5A));
    const Bytes H = Part10(kExplicitLE, Head);
    WriteFile(Src, H);
    {
        const int Fd = ::open(Src.c_str(), O_WRONLY);
        ASSERT_GE(Fd, 0);
        const off_t At = static_cast<off_t>(H.size()) + Blob;
        ASSERT_EQ(::pwrite(Fd, Tail.bytes().data(), Tail.bytes().size(), At), static_cast<ssize_t>(Tail.bytes().size()));
        ::close(Fd);
    }
    const TResult R = Write(Src, Dst, "far");
    ASSERT_TRUE(R.Ok) << R.Text();

    DataSet NewTail(false, false);
    NewTail.Add(0x0020, 0x0013, "IS", "1")
        .Add(0x0020, 0x4000, "LT", dicom::CommentValue("far", kDate))
        .US(0x0028, 0x0010, 1)
        .AddRaw(0x7FE0, 0x0010, "OB", Bytes(64, 0x5A));
    struct stat St {};
    ASSERT_EQ(::stat(Dst.c_str(), &St), 0);
    const int64_t Expected = static_cast<int64_t>(H.size()) + Blob + static_cast<int64_t>(NewTail.bytes().size());
    ASSERT_EQ(St.st_size, Expected);
    const int Fd = ::open(Dst.c_str(), O_RDONLY);
    ASSERT_GE(Fd, 0);
    Bytes Got(NewTail.bytes().size() + 16);
    ASSERT_EQ(::pread(Fd, Got.data(), Got.size(), Expected - static_cast<off_t>(Got.size())),
              static_cast<ssize_t>(Got.size()));
    Bytes Start(H.size());
    ASSERT_EQ(::pread(Fd, Start.data(), Start.size(), 0), static_cast<ssize_t>(Start.size()));
    ::close(Fd);
    EXPECT_EQ(Start, H);
    EXPECT_TRUE(std::equal(NewTail.bytes().begin(), NewTail.bytes().end(), Got.begin() + 16));
    EXPECT_EQ(Bytes(Got.begin(), Got.begin() + 16), Bytes(16, 0));
}

} // namespace
