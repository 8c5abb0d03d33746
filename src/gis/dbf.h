// The dBASE III table writer: the .dbf beside every .shp, one record per shape record.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "gis/schema.h"

namespace vk {

struct DbfTable {
    static constexpr int kMaxFields = 128;
    int unit = 0;                 // the .dbf file unit; 0 when not open
    std::int32_t initialRecordCount = 0;
    std::int32_t recordsWritten = 0;
    int fieldCount = 0;
    int totalWidth = 0;
    std::array<int, kMaxFields> width{};
    std::array<int, kMaxFields> decimals{};
    std::array<std::string, kMaxFields> name;  // at most 10 characters
    std::array<char, kMaxFields> type{};       // 'C' or 'N'
};

// Fills the table's field descriptions from the schema and writes the header (nothing when the
// table's unit is below 1).
void dbfWriteHeader(const GisSchema& schema, DbfTable& table);
// Appends one record built from the attribute line of gisO_.
void dbfdataline(DbfTable& table);
// Close-out: the end-of-file byte, then the records-written count patched at offset 4.
void dbfWriteEoF(DbfTable& table);

std::uint8_t i1u(int value);
std::uint16_t i2u(int value);

}  // namespace vk
