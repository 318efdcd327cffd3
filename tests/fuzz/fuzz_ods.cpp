// libFuzzer target: any bytes as an .ods spreadsheet: a whole package, or
// the XML of its content and settings inside a sound one.
#include "tests/fuzz/FuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::odsParts(data, size);
    return 0;
}
