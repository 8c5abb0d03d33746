#include "gis/dbf.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "files/platform.h"
#include "files/units.h"
#include "gis/binary.h"
#include "text/listdirected.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::uint8_t kVersionByte = 3;  // dBASE III without memo file
constexpr std::uint8_t kHeaderEnd = 0x0D;
constexpr char kEndOfFile = 0x1A;
constexpr std::size_t kNameLength = 10;
constexpr std::size_t kSchemaNameLength = 32;
constexpr std::size_t kSchemaTypeLength = 24;
constexpr std::size_t kMaxValueLength = 256;
constexpr std::int64_t kMaxTotalWidth = 65534;  // the record length, one more, must fit 16 bits

const GisStatus kHeaderWriteError{GisError::DbfHeaderWrite, {}};
const GisStatus kRecordWriteError{GisError::DbfRecordWrite, {}};
const GisStatus kCloseOutError{GisError::CloseOut, {}};

struct FieldType {
    char type;
    int width;
    int decimals;
};

// The dBASE field for a schema type word, recognised by its leading letters; type 0 for a word
// that names none.
FieldType fieldType(std::string_view typeWord, int schemaWidth) {
    const std::string word = TRIMF(UPPERCASE(cutTo(typeWord, kSchemaTypeLength)));
    if (word.starts_with("CHAR")) return {'C', schemaWidth, 0};
    if (word.starts_with("LOGICAL")) return {'C', 1, 0};
    if (word.starts_with("FLOAT")) return {'N', 16, 5};
    if (word.starts_with("INTEGER")) return {'N', 8, 0};
    if (word.starts_with("DECIMAL")) return {'N', schemaWidth, 0};
    return {0, 0, 0};
}

// The 10-character field name: leading blanks removed, only letters, digits and '_' kept.
std::string fieldName(std::string_view schemaName) {
    const std::string cleaned = CLEANATTRIBUTENAME(TRIMF(cutTo(schemaName, kSchemaNameLength)));
    return std::string(trimRight(cutTo(cleaned, kNameLength)));
}

void appendZeros(std::string& out, std::size_t count) {
    out.append(count, '\0');
}

using LastRecord = DbfLastRecord;

constexpr std::size_t kNoResume = std::numeric_limits<std::size_t>::max();

// The length of the common beginning of two texts, compared eight bytes at a time.
std::size_t commonLength(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) break;
    }
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

bool sameLayout(const LastRecord& last, const DbfTable& table) {
    const auto n = static_cast<std::size_t>(table.fieldCount);
    return last.fieldCount == table.fieldCount &&
           std::equal(table.width.begin(), table.width.begin() + n, last.width.begin()) &&
           std::equal(table.type.begin(), table.type.begin() + n, last.type.begin());
}

}  // namespace

std::uint8_t i1u(int value) {
    if (value < 0 || value > 0xFF) gisShouldNotBeHere("[i1u: i4 outside range]");
    return static_cast<std::uint8_t>(value);
}

std::uint16_t i2u(int value) {
    if (value < 0 || value > 0xFFFF) gisShouldNotBeHere("[i2u: i4 outside range]");
    return static_cast<std::uint16_t>(value);
}

GisStatus dbfWriteHeader(const GisSchema& schema, DbfTable& table) {
    if (table.unit < 1) return {};
    OutStream& out = unitOutput(table.unit);
    if (!out.seek(0)) return kHeaderWriteError;

    table.initialRecordCount = schema.initialRecordCount;
    const int n = schema.fieldCount;
    if (n > DbfTable::kMaxFields) return {GisError::DbfTooManyFields, {}};
    if (n <= 0) return {GisError::DbfNoFields, {}};

    table.fieldCount = n;
    std::int64_t total = 0;
    for (int i = 0; i < n; ++i) {
        const GisAttribute& attribute = schema.fields[static_cast<std::size_t>(i)];
        const FieldType field = fieldType(attribute.type, attribute.width);
        if (field.type == 0) return gisFault("[Unrecognised DBF field]");
        const auto k = static_cast<std::size_t>(i);
        table.name[k] = fieldName(attribute.name);
        table.type[k] = field.type;
        table.width[k] = field.width;
        table.decimals[k] = field.decimals;
        total += field.width;
    }
    if (total > kMaxTotalWidth) return gisFault("[dbfTotLen>32767]");
    table.totalWidth = static_cast<int>(total);

    const sys::Date date = sys::localDate();
    std::string header;
    header.reserve(32 * static_cast<std::size_t>(n) + 33);
    append<kLittle>(header, kVersionByte);
    append<kLittle>(header, i1u(date.year - 1900));  // years since 1900
    append<kLittle>(header, i1u(date.month));
    append<kLittle>(header, i1u(date.day));
    append<kLittle>(header, table.initialRecordCount);
    append<kLittle>(header, i2u(32 * n + 33));
    append<kLittle>(header, i2u(table.totalWidth + 1));
    appendZeros(header, 20);

    for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
        header += table.name[k];
        appendZeros(header, 11 - table.name[k].size());
        header.push_back(table.type[k]);
        appendZeros(header, 4);
        if (table.width[k] < 1 || table.width[k] > 255)
            return {GisError::DbfFieldWidth, AINTEGER(table.width[k])};
        append<kLittle>(header, i1u(table.width[k]));
        append<kLittle>(header, i1u(table.decimals[k]));
        appendZeros(header, 14);
    }
    append<kLittle>(header, kHeaderEnd);

    out.put(header);
    // The header is written once: flush it so that a failure shows here.
    if (!out.flush() || out.failed()) return kHeaderWriteError;
    return {};
}

GisStatus dbfdataline(DbfTable& table, std::string_view line) {
    if (table.unit < 1) return gisFault("[dbfnotopen]");

    const auto fields = static_cast<std::size_t>(table.fieldCount);
    auto fieldWidth = [&](std::size_t k) {
        return static_cast<std::size_t>(table.width[k] > 0 ? table.width[k] : 0);
    };
    // The record is composed in place at the end of the file's buffer: the deletion flag (blank:
    // not deleted) and every field, blank where no value is written.
    std::size_t size = 1;
    for (std::size_t k = 0; k < fields; ++k)
        size += fieldWidth(k);
    OutStream& out = unitOutput(table.unit);
    char* const record = out.extend(size);
    if (record == nullptr) return kRecordWriteError;

    // The leading fields that the line shares with the last record of this layout are taken
    // from it as they are; the split goes on from there.
    LastRecord& last = table.last;
    const bool remember = fields <= static_cast<std::size_t>(DbfTable::kMaxFields);
    std::size_t reused = 0;
    std::size_t reusedBytes = 1;
    std::size_t common = 0;
    const bool known = remember && sameLayout(last, table);
    if (known) {
        common = commonLength(line, last.line);
        while (reused < fields && last.resume[reused] < common)
            reusedBytes += fieldWidth(reused++);
        std::memcpy(record, last.record.data(), reusedBytes);
    }
    const std::size_t composed = known ? reusedBytes : 0;
    std::memset(record + composed, ' ', size - composed);

    // Values that are missing at the end of the line, and the forms that carry no value of their
    // own (empty, repeat count, slash), leave their fields blank. Character values stand at the
    // left of their field, numbers at the right.
    ListSplitter values =
        reused > 0 ? ListSplitter(line, last.resume[reused - 1]) : ListSplitter(line);
    ListValue& value = last.value;
    last.fieldCount = -1;    // not to be used again until it is complete
    char* field = record + reusedBytes;
    for (std::size_t k = reused; k < fields; ++k) {
        const std::size_t width = fieldWidth(k);
        values.next(value);
        if (remember) {
            const bool more =
                value.kind != ListValue::Kind::Slash && value.kind != ListValue::Kind::End;
            last.resume[k] = more ? values.position() : kNoResume;
        }
        std::string_view text;
        if (value.kind == ListValue::Kind::Plain || value.kind == ListValue::Kind::Quoted)
            text = trimRight(cutTo(cutTo(value.value(), kMaxValueLength), width));
        char* at = table.type[k] == 'C' ? field : field + (width - text.size());
        if (!text.empty()) std::memcpy(at, text.data(), text.size());
        field += width;
    }
    if (remember) {
        // Only what differs from the last line and record is copied.
        if (!known) {
            std::copy_n(table.width.begin(), fields, last.width.begin());
            std::copy_n(table.type.begin(), fields, last.type.begin());
            reusedBytes = 0;
        }
        last.line.resize(line.size());
        std::copy(line.begin() + static_cast<std::ptrdiff_t>(common), line.end(),
                  last.line.begin() + static_cast<std::ptrdiff_t>(common));
        last.record.resize(size);
        std::memcpy(last.record.data() + reusedBytes, record + reusedBytes, size - reusedBytes);
        last.fieldCount = table.fieldCount;
    }
    return {};
}

GisStatus dbfWriteEoF(DbfTable& table) {
    if (table.unit < 1) return {};
    OutStream& out = unitOutput(table.unit);
    out.put(kEndOfFile);
    if (!out.flush() || out.failed()) return kCloseOutError;
    const std::string path = unitFileName(table.unit);
    CLOSER(table.unit);

    std::string count;
    append<kLittle>(count, table.recordsWritten);
    FilePatch patch(path);
    patch.write(4, count);
    if (!patch.finish()) return kCloseOutError;
    return {};
}

}  // namespace vk
