// libFuzzer target: any bytes as a .csv/.txt file.
#include "tests/fuzz/FuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::text(data, size);
    return 0;
}
