// Lossless JPEG (selection value 1) frame decode against DCMTK.
#include "lossless_common.h"

int main(int argc, char** argv) { return benchencaps::Main(argc, argv, "Lossless JPEG decode"); }
