// libFuzzer target: any bytes as an .xls workbook.
#include "tests/fuzz/FuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::xls(data, size);
    return 0;
}
