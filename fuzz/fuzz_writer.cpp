// The comment writer from arbitrary bytes. Besides crashes it checks the
// promises made to the user: a failure is reported exactly once and leaves
// the target as it was (or absent), a success is silent and the target
// holds the comment.
#include "harness.h"

#include "errors.h"
#include "writer.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

const char kComment[] = "  Fuzzed comment\r\nsecond line\t ";
const char kStored[] = "Fuzzed comment\r\nsecond line\r\n\r\n";
const char kOldTarget[] = "an older file that a failed write must leave alone";

TBytes ReadAll(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& Path, const uint8_t* Data, size_t Size)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
    if (!Out)
        fuzzing::Fail("cannot write the fuzzed source");
}

bool Contains(const TBytes& Hay, const char* Needle)
{
    const size_t N = std::strlen(Needle);
    return ::memmem(Hay.data(), Hay.size(), Needle, N) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    // Static: removed as the program ends.
    static const fuzzing::TScratchFolder Dir("varnelo-fuzz-writer");
    static const std::string Source = Dir.Path() + "/source.dcm";
    static const std::string Other = Dir.Path() + "/target.dcm";

    // Three ways to save, chosen by the input so a finding replays alike:
    // over the source itself, over an older file, or to a new name.
    const int Mode = static_cast<int>(Size % 3);
    WriteAll(Source, Data, Size);
    std::string Target = Other;
    if (Mode == 0)
        Target = Source;
    else if (Mode == 1)
        WriteAll(Other, reinterpret_cast<const uint8_t*>(kOldTarget), sizeof kOldTarget - 1);
    else
        ::unlink(Other.c_str());

    int Reports = 0;
    std::string Message;
    dicom::TCommentWriterHooks Hooks;
    Hooks.ReportError = [&](const std::string& M) {
        ++Reports;
        Message = M;
    };
    Hooks.DateTimeText = [] { return std::string("01.02.2026 03:04:05"); };

    const bool Written = dicom::WriteDICOMComment(Source, Target, kComment, Hooks);
    if (Written) {
        fuzzing::Check(Reports == 0, "success reported as an error");
        const TBytes Out = ReadAll(Target);
        fuzzing::Check(Contains(Out, kStored), "written target lacks the comment");
    } else {
        fuzzing::Check(Reports == 1, "failure not reported exactly once");
        fuzzing::Check(!Message.empty(), "failure reported without a message");
        if (Mode == 0) {
            const TBytes Now = ReadAll(Source);
            fuzzing::Check(Now.size() == Size && (Size == 0 || std::memcmp(Now.data(), Data, Size) == 0),
                           "failed write changed the source");
        } else if (Mode == 1) {
            const TBytes Now = ReadAll(Other);
            fuzzing::Check(Now.size() == sizeof kOldTarget - 1 && std::memcmp(Now.data(), kOldTarget, Now.size()) == 0,
                           "failed write touched the existing target");
        } else {
            fuzzing::Check(!fuzzing::Exists(Other), "failed write left a target behind");
        }
    }
    return 0;
}
