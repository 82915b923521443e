// The index of the kept recordings from arbitrary bytes: every line is an
// entry, broken or blank; an entry names a plain WAV file in the folder and a
// prompt; writing the entries back and reading them again gives the same.
#include "harness.h"

#include "keptindex.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const QByteArray Bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(Data), qsizetype(Size));
    const TKeptIndex Index = ParseKeptIndex(Bytes);

    qsizetype Lines = 0;
    for (const QString& L : QString::fromUtf8(Bytes).split('\n'))
        Lines += !L.trimmed().isEmpty();
    fuzzing::Check(Index.entries.size() + Index.brokenLines.size() == Lines, "a line neither entry nor broken");
    for (qsizetype I = 1; I < Index.brokenLines.size(); ++I)
        fuzzing::Check(Index.brokenLines[I - 1] < Index.brokenLines[I], "broken lines out of order");

    for (const TKeptEntry& E : Index.entries) {
        fuzzing::Check(E.file.endsWith(".wav") && !E.file.startsWith('.'), "an entry that is no WAV file's name");
        fuzzing::Check(!E.file.contains('/') && !E.file.contains('\n') && !E.file.contains('\t'),
                       "an entry naming a file outside the folder");
        fuzzing::Check(!E.prompt.isEmpty() && E.prompt == E.prompt.simplified(), "a prompt with stray blanks");
    }

    const TKeptIndex Again = ParseKeptIndex(KeptIndexText(Index.entries));
    fuzzing::Check(Again.brokenLines.isEmpty(), "a written entry read back as broken");
    fuzzing::Check(Again.entries == Index.entries, "the entries changed on their way through the file");
    return 0;
}
