// libFuzzer target: any bytes as an .xlsx workbook: a whole package, or the
// XML of its sheet, shared strings and styles inside a sound one.
#include "tests/fuzz/FuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::xlsxParts(data, size);
    return 0;
}
