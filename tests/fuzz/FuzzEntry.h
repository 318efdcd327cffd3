#pragma once
// What the fuzz targets run on each input, kept apart from libFuzzer so the
// ordinary test suite can replay files through exactly the same code.
#include <cstddef>
#include <cstdint>

namespace fuzz {

// The input as a zip workbook (.xlsx, .ods; other input is passed over):
// opened with both XML readers, every cell read. Returns the number of
// cells seen, -1 when refused.
long workbook(const uint8_t* data, size_t size);

// The input as an .xls compound file (other input is passed over): opened,
// every cell read. Returns the number of cells seen, -1 when refused.
long xls(const uint8_t* data, size_t size);

// The input as a .csv/.txt file: encoding and separator detection, the
// field parser, every cell read (zip and compound files are passed over).
long text(const uint8_t* data, size_t size);

}  // namespace fuzz
