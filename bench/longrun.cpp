// Long runs of the main window: hours of use compressed into one sitting.
//   bench_longrun dictation SENTENCES AUDIO MINUTES [GAP-MS]
//   bench_longrun readback SENTENCES WORDS VOICE MINUTES
//   bench_longrun marks SENTENCES WORDS VOICE
//   bench_longrun select COUNT [FOLDER...]
// The speech ones need a private sound server (bench/longrun.sh).
#include "longrun_common.h"

#include "application.h"

#include <QStringList>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TVarneloApplication App(argc, argv);
    // Figures appear as they are made, also into a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList Args = App.arguments().mid(1);
    const QString What = Args.value(0);
    if (What == QLatin1String("dictation"))
        return LongrunDictation(Args.mid(1));
    if (What == QLatin1String("readback"))
        return LongrunReadback(Args.mid(1));
    if (What == QLatin1String("marks"))
        return LongrunMarks(Args.mid(1));
    if (What == QLatin1String("select"))
        return LongrunSelections(Args.mid(1));
    std::fprintf(stderr, "usage: bench_longrun dictation|readback|select ...\n");
    return 2;
}
