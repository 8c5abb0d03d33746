// The dBASE III table writer: the .dbf beside every .shp, one record per shape record.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include <span>

#include "files/units.h"
#include "gis/object.h"
#include "gis/schema.h"
#include "gis/status.h"
#include "gis/valuetext.h"

namespace vk {

struct DbfTable {
    static constexpr int kMaxFields = 128;
    OutputFile* file = nullptr;   // the .dbf, owned by the layer's writer; none when not open
    std::int32_t initialRecordCount = 0;
    std::int32_t recordsWritten = 0;
    int fieldCount = 0;
    int totalWidth = 0;
    std::array<int, kMaxFields> width{};
    std::array<int, kMaxFields> decimals{};
    std::array<std::string, kMaxFields> name;  // at most 10 characters
    std::array<char, kMaxFields> type{};       // 'C' or 'N'
    ValueTexts values;                         // the text of the values of each field
    std::string fitted;                        // a number made to fit its field
    // What the texts written so far are, for the table's code page.
    bool anyNonAscii = false;
    bool allUtf8 = true;

    bool isOpen() const { return file != nullptr && file->isOpen(); }
};

// The code page of the texts written into the table, as a .cpg file names it: "UTF-8" when they
// are all UTF-8 and one at least is not ASCII, "1252" (the export's on Windows) otherwise.
std::string_view dbfCodePage(const DbfTable& table);

// Fills the table's field descriptions from the schema and writes the header (nothing when the
// table is not open).
GisStatus dbfWriteHeader(const GisSchema& schema, DbfTable& table);
// Appends one record of the values, one per field in order: a text at the left of a character
// field, the digits of a number at the right of a numeric one, each cut to its field's width. A
// number too wide for its field keeps the decimals that fit, rounded; one whose whole part does
// not fit fills the field with asterisks. Fields without a value are left blank.
GisStatus dbfWriteRecord(DbfTable& table, std::span<const GisValue> values);
// Close-out: the end-of-file byte, then the records-written count patched at offset 4, through
// the table's own file, and every byte written.
GisStatus dbfWriteEoF(DbfTable& table);

// Append the unsigned byte (i1u) or 16-bit number (i2u) of equal value to a header, little-endian;
// a value that does not fit is a fault of the program.
GisStatus i1u(int value, std::string& out);
GisStatus i2u(int value, std::string& out);

}  // namespace vk
