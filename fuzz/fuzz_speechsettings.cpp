// The speech service's settings file from arbitrary bytes: the user may edit
// it, a crash may cut it short. Whatever it holds, reading it never fails and
// the values the service takes from it stay in their ranges.
#include "harness.h"

#include "spsettings.h"

#include <QSettings>
#include <QString>

#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// A real file with a new time stamp each run: QSettings keeps parsed files
// and reads one again only when its size or time changed.
std::string WriteSettings(const uint8_t* Data, size_t Size)
{
    static fuzzing::TScratchFolder Folder("varnelo-fuzz-settings");
    static long Runs = 0;
    const std::string Path = Folder.Path() + "/speech.ini";
    const int Fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (Fd < 0)
        fuzzing::Fail("open");
    for (size_t Done = 0; Done < Size;) {
        const ssize_t N = ::write(Fd, Data + Done, Size - Done);
        if (N <= 0)
            fuzzing::Fail("write");
        Done += static_cast<size_t>(N);
    }
    const timespec Times[2] = {{++Runs, 0}, {Runs, 0}};
    if (::futimens(Fd, Times) != 0)
        fuzzing::Fail("futimens");
    ::close(Fd);
    return Path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    QSettings S(QString::fromStdString(WriteSettings(Data, Size)), QSettings::IniFormat);
    // Every value as the dialogs show them.
    for (const QString& Key : S.allKeys())
        (void)S.value(Key).toString();

    for (const char* Key : {kInputVolume, kSensitivity}) {
        const int V = PercentSetting(S, Key);
        fuzzing::Check(V >= 0 && V <= 100, "a percentage out of range");
    }

    const QByteArray Input = S.value(kCepstralMeanInput).toByteArray();
    for (const float V : KeptCepstralMean(S, Input))
        fuzzing::Check(std::isfinite(V) && std::abs(V) <= 1000, "an implausible cepstral mean");
    fuzzing::Check(KeptCepstralMean(S, Input + "-other").empty(), "a mean kept for another input");

    for (const auto& [Word, Phones] : UserWords(S)) {
        fuzzing::Check(!Word.isEmpty() && Word == Word.toLower(), "a user word not in lower case");
        for (const QChar C : Word)
            fuzzing::Check(!C.isSpace(), "a user word of more than one word");
        const QString P = QString::fromUtf8(Phones);
        fuzzing::Check(!P.isEmpty() && P == P.simplified() && P == P.toUpper(), "phones not as the decoder takes them");
    }
    fuzzing::Check(S.group().isEmpty(), "the words' group left open");
    return 0;
}
