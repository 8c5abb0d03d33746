// The dBASE III table writer: the .dbf beside every .shp, one record per shape record.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "gis/schema.h"
#include "gis/status.h"
#include "text/listdirected.h"

namespace vk {

// The record last composed in a table, with the attribute line and the field layout it came from.
// The fields of a record depend on nothing else, so the next record whose line begins the same way
// (the surface points of one cross-section share their stream, reach and station) takes its
// leading fields from here and splits only the rest of its line.
struct DbfLastRecord {
    static constexpr int kMaxFields = 128;
    int fieldCount = -1;
    std::array<int, kMaxFields> width{};
    std::array<char, kMaxFields> type{};
    std::string line;
    std::string record;
    // resume[k]: where the split of the line stood after field k, the character there being the
    // last one that field's split looked at; kNoResume once the values have ended.
    std::array<std::size_t, kMaxFields> resume{};
    ListValue value;  // its quoted text keeps its storage from record to record
};

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
    DbfLastRecord last;
};

// Fills the table's field descriptions from the schema and writes the header (nothing when the
// table's unit is below 1).
GisStatus dbfWriteHeader(const GisSchema& schema, DbfTable& table);
// Appends one record built from an attribute line.
GisStatus dbfdataline(DbfTable& table, std::string_view line);
// Close-out: the end-of-file byte, then the records-written count patched at offset 4.
GisStatus dbfWriteEoF(DbfTable& table);

std::uint8_t i1u(int value);
std::uint16_t i2u(int value);

}  // namespace vk
