// RLE frame decode against DCMTK.
#include "lossless_common.h"

int main(int argc, char** argv) { return benchencaps::Main(argc, argv, "RLE decode"); }
