#pragma once
// What the fuzz targets run on each input, kept apart from libFuzzer so the
// ordinary test suite can replay files through exactly the same code. Every
// entry opens the input the way the program does (sheet::Workbook) and reads
// every cell; a refusal without a reason, or two readers disagreeing, stops
// the process (a finding).
#include <cstddef>
#include <cstdint>

namespace fuzz {

// The input as a zip workbook (.xlsx, .ods; other input is passed over),
// opened twice: with the fast XML reader (falling back to QXmlStreamReader
// where it must) and with QXmlStreamReader alone. Whatever both read must
// be the same, cell by cell; what QXmlStreamReader reads the fast reader
// must read too (it may accept broken XML the general one refuses).
// Returns the number of cells seen, -1 when refused.
long workbook(const uint8_t* data, size_t size);

// The input as the parts of an otherwise sound .xlsx package: the worksheet
// XML, then after a NUL byte the shared strings, after another the styles.
// Input that is itself a zip goes to workbook().
long xlsxParts(const uint8_t* data, size_t size);

// The input as content.xml of an otherwise sound .ods package, and after a
// NUL byte its settings.xml. Input that is itself a zip goes to workbook().
long odsParts(const uint8_t* data, size_t size);

// The input as an .xls file (compound files only; other input is passed
// over), through the program's usual entry for any workbook.
long xls(const uint8_t* data, size_t size);

// The input as a .csv/.txt file: encoding and separator detection, the
// field parser, every cell read (zip and compound files are passed over).
long text(const uint8_t* data, size_t size);

}  // namespace fuzz
