// The scan decoder's entry: picks the build of the hot loop that suits the
// processor.
#include "lossless_scan.h"

#include "lossless_scan_loop.h"

namespace extrout::lossless {

bool DecodeScan(TLosslessState& S, uint8_t* Output, uint64_t Samples)
{
    static const bool Bmi2 = __builtin_cpu_supports("bmi2");
    return Bmi2 ? DecodeScanBmi2(S, Output, Samples) : DecodeScanHere(S, Output, Samples);
}

} // namespace extrout::lossless
