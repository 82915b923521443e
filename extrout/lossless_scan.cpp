// The scan decoder's entry: picks the build of the hot loop that suits the
// processor.
#include "lossless_scan.h"

#include "lossless_scan_loop.h"

#include <cstdlib>
#include <cstring>

namespace extrout::lossless {

namespace {

// VARNELO_LOSSLESS_SCAN=portable takes the portable build on any processor,
// so that the tests and benchmarks reach it on one that has BMI2.
bool UseBmi2()
{
    const char* Wanted = std::getenv("VARNELO_LOSSLESS_SCAN");
    if (Wanted && std::strcmp(Wanted, "portable") == 0) return false;
    return __builtin_cpu_supports("bmi2");
}

} // namespace

bool DecodeScan(TLosslessState& S, uint8_t* Output, uint64_t Samples)
{
    static const bool Bmi2 = UseBmi2();
    return Bmi2 ? DecodeScanBmi2(S, Output, Samples) : DecodeScanHere(S, Output, Samples);
}

} // namespace extrout::lossless
