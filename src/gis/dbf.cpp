#include "gis/dbf.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "files/platform.h"
#include "gis/binary.h"
#include "text/encoding.h"
#include "text/fixedpoint.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr std::uint8_t kVersionByte = 3;  // dBASE III without memo file
constexpr std::uint8_t kHeaderEnd = 0x0D;
constexpr char kEndOfFile = 0x1A;
constexpr std::size_t kNameLength = 10;
constexpr std::size_t kSchemaNameLength = 32;
constexpr std::size_t kSchemaTypeLength = 24;
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

}  // namespace

GisStatus i1u(int value, std::string& out) {
    if (value < 0 || value > 0xFF) return gisFault("[i1u: i4 outside range]");
    append<kLittle>(out, static_cast<std::uint8_t>(value));
    return {};
}

GisStatus i2u(int value, std::string& out) {
    if (value < 0 || value > 0xFFFF) return gisFault("[i2u: i4 outside range]");
    append<kLittle>(out, static_cast<std::uint16_t>(value));
    return {};
}

GisStatus dbfWriteHeader(const GisSchema& schema, DbfTable& table) {
    if (!table.isOpen()) return {};
    OutStream& out = table.file->out();
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
    table.values.setSchema(schema);
    table.anyNonAscii = false;
    table.allUtf8 = true;

    const sys::Date date = sys::localDate();
    std::string header;
    header.reserve(32 * static_cast<std::size_t>(n) + 33);
    append<kLittle>(header, kVersionByte);
    GisStatus status = i1u(date.year - 1900, header);  // years since 1900
    if (status.ok()) status = i1u(date.month, header);
    if (status.ok()) status = i1u(date.day, header);
    append<kLittle>(header, table.initialRecordCount);
    if (status.ok()) status = i2u(32 * n + 33, header);
    if (status.ok()) status = i2u(table.totalWidth + 1, header);
    if (!status.ok()) return status;
    appendZeros(header, 20);

    for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
        header += table.name[k];
        appendZeros(header, 11 - table.name[k].size());
        header.push_back(table.type[k]);
        appendZeros(header, 4);
        if (table.width[k] < 1 || table.width[k] > 255)
            return {GisError::DbfFieldWidth, AINTEGER(table.width[k])};
        status = i1u(table.width[k], header);
        if (status.ok()) status = i1u(table.decimals[k], header);
        if (!status.ok()) return status;
        appendZeros(header, 14);
    }
    append<kLittle>(header, kHeaderEnd);

    out.put(header);
    // The header is written once: flush it so that a failure shows here.
    if (!out.flush() || out.failed()) return kHeaderWriteError;
    return {};
}

GisStatus dbfWriteRecord(DbfTable& table, std::span<const GisValue> values) {
    if (!table.isOpen()) return gisFault("[dbfnotopen]");

    const auto fields = static_cast<std::size_t>(table.fieldCount);
    // The record is composed in place at the end of the file's buffer: the deletion flag (blank:
    // not deleted) and every field, blank where no value is written.
    const std::size_t size = static_cast<std::size_t>(table.totalWidth) + 1;
    char* const record = table.file->out().extend(size);
    if (record == nullptr) return kRecordWriteError;
    std::memset(record, ' ', size);

    char* field = record + 1;
    const std::size_t count = std::min(values.size(), fields);
    for (std::size_t k = 0; k < count; ++k) {
        const auto width = static_cast<std::size_t>(table.width[k]);
        const GisValue& value = values[k];
        std::string_view text;
        switch (value.type) {
        case GisValue::Type::Text:
            text = value.text;
            break;
        case GisValue::Type::Real:
            text = table.values.real(k, value.real);
            text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
            if (text.size() > width) {
                // Cut, the text would be another number (1e308 as 1000000000000000).
                const std::size_t whole = std::min(text.find('.'), text.size());
                table.fitted.clear();
                appendFixed(table.fitted, value.real, static_cast<int>(width),
                            whole + 1 < width ? static_cast<int>(width - whole - 1) : 0);
                text = table.fitted;
            }
            break;
        case GisValue::Type::Integer:
            text = table.values.integer(k, value.integer);
            break;
        case GisValue::Type::Missing:
            break;
        }
        // A UTF-8 text is cut at whole characters, so that it stays UTF-8 (other texts have a
        // character in each byte).
        text = text.size() > width && value.type == GisValue::Type::Text && isUtf8(text)
                   ? text.substr(0, wholeCharacters(text, width))
                   : cutTo(text, width);
        text = trimRight(text);
        // Once one text is not UTF-8 the table's code page is settled.
        if (value.type == GisValue::Type::Text && table.allUtf8 && !isAscii(text)) {
            table.anyNonAscii = true;
            table.allUtf8 = isUtf8(text);
        }
        char* at = table.type[k] == 'C' ? field : field + (width - text.size());
        if (!text.empty()) std::memcpy(at, text.data(), text.size());
        field += width;
    }
    return {};
}

std::string_view dbfCodePage(const DbfTable& table) {
    return table.anyNonAscii && table.allUtf8 ? "UTF-8" : "1252";
}

GisStatus dbfWriteEoF(DbfTable& table) {
    if (!table.isOpen()) return {};
    // A table removed meanwhile is lost: say so rather than patch what nobody can read.
    if (!table.file->stillNamed()) return kCloseOutError;
    OutStream& out = table.file->out();
    out.put(kEndOfFile);
    if (!out.seek(4)) return kCloseOutError;
    out.i32le(table.recordsWritten);
    if (!out.flush() || out.failed()) return kCloseOutError;
    return {};
}

}  // namespace vk
