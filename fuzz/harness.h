// Shared pieces of the fuzz targets: a file in memory that the loader can
// open by name, a scratch folder, and the rule for what counts as a finding.
#pragma once

#include "errors.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fuzzing {

// A property that must hold whatever the input; breaking it is a finding.
[[noreturn]] inline void Fail(const char* What)
{
    std::fprintf(stderr, "fuzz invariant broken: %s\n", What);
    std::abort();
}

inline void Check(bool Condition, const char* What)
{
    if (!Condition)
        Fail(What);
}

// An anonymous in-memory file reachable through /proc/self/fd, so each input
// costs no disk traffic and the code under test still opens a file by name.
class TMemFile {
public:
    explicit TMemFile(const char* Name)
    {
        Fd = ::memfd_create(Name, MFD_CLOEXEC);
        if (Fd < 0)
            Fail("memfd_create");
        PathName = "/proc/self/fd/" + std::to_string(Fd);
    }
    ~TMemFile() { ::close(Fd); }
    TMemFile(const TMemFile&) = delete;
    TMemFile& operator=(const TMemFile&) = delete;

    void Set(const uint8_t* Data, size_t Size)
    {
        if (::ftruncate(Fd, 0) != 0)
            Fail("ftruncate");
        size_t Done = 0;
        while (Done < Size) {
            const ssize_t N = ::pwrite(Fd, Data + Done, Size - Done, static_cast<off_t>(Done));
            if (N <= 0)
                Fail("pwrite");
            Done += static_cast<size_t>(N);
        }
    }
    const std::string& Path() const { return PathName; }

private:
    int Fd = -1;
    std::string PathName;
};

// A private folder for files that must have real names (the comment writer
// creates its target next to nothing else), removed with its files when the
// object goes. Prefers /dev/shm.
class TScratchFolder {
public:
    explicit TScratchFolder(const char* Name) : PathName(Make(Name)) {}
    ~TScratchFolder()
    {
        std::error_code Ec;
        std::filesystem::remove_all(PathName, Ec);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    const std::string& Path() const { return PathName; }

private:
    static std::string Make(const char* Name)
    {
        const char* Base = std::getenv("VARNELO_FUZZ_TMP");
        std::string Root = Base != nullptr ? Base : (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        std::string Dir = Root + "/" + Name + "-XXXXXX";
        if (::mkdtemp(Dir.data()) == nullptr)
            Fail("mkdtemp");
        return Dir;
    }
    std::string PathName;
};

inline bool Exists(const std::string& Path)
{
    struct stat St {};
    return ::stat(Path.c_str(), &St) == 0;
}

// Errors that are the system's own refusals carry a message; anything else
// escaping (bad_alloc, length_error, out_of_range) is a finding and is left
// to propagate so the fuzzer reports it.
inline void CheckMessage(const dicom::EDicomError& E)
{
    Check(E.what() != nullptr && E.what()[0] != '\0', "error without a message");
}

} // namespace fuzzing
