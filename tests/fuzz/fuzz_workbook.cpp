// libFuzzer target: any bytes as a workbook (.xlsx, .ods, and whatever else
// the content says).
#include "tests/fuzz/FuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::workbook(data, size);
    return 0;
}
