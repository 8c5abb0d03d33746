// The dBASE table writer: header and field descriptors from the schema, records from the
// attribute line, the close-out with the end-of-file byte and the final record count, and the
// reports of every failed write.
#include "gis/dbf.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "gis/object.h"
#include "gis/schema.h"
#include "shapebytes.h"

namespace {

using vktest::endsRun;
using vktest::readI32le;
using vktest::readU16le;

class DbfTest : public vktest::GisFileTest {
  protected:
    void addField(std::string name, std::string type, int width, int decimals = 0) {
        vk::GisAttribute& field =
            gisSchema.fields[static_cast<std::size_t>(gisSchema.fieldCount++)];
        field.name = std::move(name);
        field.type = std::move(type);
        field.width = width;
        field.decimals = decimals;
    }
    void open() {
        path = dir.file("table.dbf");
        file = vk::OutputFile(path);
        ASSERT_EQ(file.create(units), 0);
        table.file = &file;
    }
    void header() {
        vk::gisEndRunOn(run, vk::dbfWriteHeader(gisSchema, table));
        table.recordsWritten = 0;
    }
    void record(std::initializer_list<vk::GisValue> values) {
        ++table.recordsWritten;
        vk::gisEndRunOn(run, vk::dbfWriteRecord(table, values));
    }
    std::string bytes() const { return vktest::readFile(path); }
    // The bytes of record i (0-based) of a closed or open table.
    std::string recordBytes(int i) const {
        const std::string all = bytes();
        const auto headerLength = static_cast<std::size_t>(readU16le(all, 8));
        const auto recordLength = static_cast<std::size_t>(readU16le(all, 10));
        return all.substr(headerLength + static_cast<std::size_t>(i) * recordLength, recordLength);
    }
    // Descriptor i (0-based): 32 bytes from offset 32.
    std::string descriptor(int i) const {
        return bytes().substr(32 + 32 * static_cast<std::size_t>(i), 32);
    }
    static std::string expectedDescriptor(std::string_view name, char type, int width,
                                          int decimals) {
        std::string d(name);
        d.resize(11, '\0');
        d += type;
        d.append(4, '\0');
        d += static_cast<char>(width);
        d += static_cast<char>(decimals);
        d.append(14, '\0');
        return d;
    }

    vk::OutputFile file;
    vk::DbfTable table;
    std::string path;
};

using vk::realValue;
using vk::textValue;

TEST_F(DbfTest, CharAndFloatFieldsGiveHeaderOf97AndRecordOf29Bytes) {
    addField("Stream_ID", "Char", 12);
    addField("Elevation", "Float", 0);
    open();
    const std::time_t before = std::time(nullptr);
    header();

    const std::string file = bytes();
    ASSERT_EQ(file.size(), 97u);
    // The date as the C library gives it, independently of the writer's own reading of the clock.
    const std::tm date = *std::localtime(&before);
    std::string start;
    start += '\x03';
    start += static_cast<char>(date.tm_year);
    start += static_cast<char>(date.tm_mon + 1);
    start += static_cast<char>(date.tm_mday);
    start.append(4, '\0');               // record count, patched at close
    start += std::string("\x61\x00", 2);  // header length 97
    start += std::string("\x1D\x00", 2);  // record length 29
    start.append(20, '\0');
    EXPECT_EQ(file.substr(0, 32), start);
    EXPECT_EQ(descriptor(0), expectedDescriptor("Stream_ID", 'C', 12, 0));
    EXPECT_EQ(descriptor(1), expectedDescriptor("Elevation", 'N', 16, 5));
    EXPECT_EQ(file[96], '\x0D');

    EXPECT_EQ(table.fieldCount, 2);
    EXPECT_EQ(table.totalWidth, 28);
}

TEST_F(DbfTest, FieldNamesAreCleanedAndCutToTenCharacters) {
    addField("Shape_Width_or_dMax", "Float", 0);
    addField("%%-+", "Char", 2);
    addField("  Left Bank-2", "Char", 2);
    addField("abcdefghi j", "Char", 2);  // the blank goes before the cut
    open();
    header();

    EXPECT_EQ(descriptor(0).substr(0, 11), std::string("Shape_Widt\0", 11));
    EXPECT_EQ(descriptor(1).substr(0, 11), std::string("X\0\0\0\0\0\0\0\0\0\0", 11));
    EXPECT_EQ(descriptor(2).substr(0, 11), std::string("LeftBank2\0\0", 11));
    EXPECT_EQ(descriptor(3).substr(0, 11), std::string("abcdefghij\0", 11));
}

TEST_F(DbfTest, TypeWordsAreRecognisedByTheirLeadingLetters) {
    addField("a", "character", 3);
    addField("b", "  Logical", 0);
    addField("c", "FLOATING", 2);
    addField("d", "integer", 0);
    addField("e", "Decimal", 10);
    open();
    header();

    EXPECT_EQ(descriptor(0), expectedDescriptor("a", 'C', 3, 0));
    EXPECT_EQ(descriptor(1), expectedDescriptor("b", 'C', 1, 0));
    EXPECT_EQ(descriptor(2), expectedDescriptor("c", 'N', 16, 5));
    EXPECT_EQ(descriptor(3), expectedDescriptor("d", 'N', 8, 0));
    EXPECT_EQ(descriptor(4), expectedDescriptor("e", 'N', 10, 0));
    EXPECT_EQ(readU16le(bytes(), 8), 32 * 5 + 33);
    EXPECT_EQ(readU16le(bytes(), 10), 3 + 1 + 16 + 8 + 10 + 1);
}

TEST_F(DbfTest, UnknownTypeWordEndsTheRun) {
    addField("a", "Date", 8);
    open();
    EXPECT_TRUE(endsRun([&] { header(); }));
    EXPECT_TRUE(transcriptHas("Should not be here [Unrecognised DBF field] - please contact "
                              "support@varnokline.example.\n"));
}

TEST_F(DbfTest, AcceptsExactly128Fields) {
    for (int i = 0; i < 128; ++i)
        addField("F" + std::to_string(i), "Char", 1);
    open();
    header();
    vk::gisEndRunOn(run, vk::dbfWriteEoF(table));
    const std::string file = bytes();
    EXPECT_EQ(file.size(), 32u * 128 + 33 + 1);
    EXPECT_EQ(readU16le(file, 8), 32 * 128 + 33);
    EXPECT_EQ(readU16le(file, 10), 129);
    EXPECT_EQ(descriptor(127), expectedDescriptor("F127", 'C', 1, 0));
}

TEST_F(DbfTest, RefusesField129) {
    for (int i = 0; i < 129; ++i)
        addField("F" + std::to_string(i), "Char", 1);
    open();
    EXPECT_TRUE(endsRun([&] { header(); }));
    EXPECT_TRUE(transcriptHas(
        "\nERROR 0411 - Exceeded maximum number of dbf Fields trying to write dbf file.\n"));
    EXPECT_EQ(bytes().size(), 0u);
}

TEST_F(DbfTest, RefusesASchemaWithoutFields) {
    open();
    EXPECT_TRUE(endsRun([&] { header(); }));
    EXPECT_TRUE(
        transcriptHas("\nERROR 0319 - No attributes specified when writing .dbf file.\n"));
}

TEST_F(DbfTest, RefusesFieldWidthZero) {
    addField("a", "Char", 0);
    open();
    EXPECT_TRUE(endsRun([&] { header(); }));
    EXPECT_TRUE(transcriptHas("\nERROR 0412 - dbf field length of 0 is outside allowable range "
                              "of 1 to 255 when writing dbf file.\n"));
}

TEST_F(DbfTest, RefusesFieldWidth256ButTakes255) {
    addField("a", "Char", 255);
    addField("b", "Decimal", 256);
    open();
    EXPECT_TRUE(endsRun([&] { header(); }));
    EXPECT_TRUE(transcriptHas("\nERROR 0412 - dbf field length of 256 is outside allowable "
                              "range of 1 to 255 when writing dbf file.\n"));
}

TEST_F(DbfTest, TotalWidthOf65534IsNotTheTotalLimit) {
    for (int i = 0; i < 109; ++i)
        addField("F", "Char", 600);
    addField("G", "Char", 134);  // 65534 in all
    open();
    EXPECT_TRUE(endsRun([&] { header(); }));
    EXPECT_FALSE(transcriptHas("dbfTotLen"));
    EXPECT_TRUE(transcriptHas("ERROR 0412 - dbf field length of 600 "));
}

TEST_F(DbfTest, TotalWidthOf65535EndsTheRun) {
    for (int i = 0; i < 109; ++i)
        addField("F", "Char", 600);
    addField("G", "Char", 135);
    open();
    EXPECT_TRUE(endsRun([&] { header(); }));
    EXPECT_TRUE(transcriptHas(
        "Should not be here [dbfTotLen>32767] - please contact support@varnokline.example.\n"));
}

TEST_F(DbfTest, RecordsHoldEveryValueInExactlyItsFieldWidth) {
    addField("A", "Char", 5);
    addField("B", "Char", 5);
    addField("N", "Decimal", 8, 1);
    open();
    header();

    record({textValue("ABCDEFGH"), textValue("AB"), vk::GisValue{vk::GisValue::Type::Integer, {}, 0.0, 1234}});  // cut, padded, right
    record({textValue(" AB"), textValue("x,y"), realValue(-1.5)});  // leading blank kept
    record({textValue(R"(say "hi")"), textValue("O'Hara"), textValue("1.5 ")});  // trailing blank
    record({textValue("Q")});  // values missing at the end
    record({});
    record({textValue("x"), textValue("y"), realValue(12345678901.0)});  // too wide: overflow
    record({textValue("A"), textValue(""), realValue(0.04)});  // rounded to the field's decimals
    record({textValue("x"), textValue("y"), realValue(1234567.25)});  // the decimals that fit
    record({textValue("m"), vk::missingValue(), vk::missingValue()});  // no value: blank
    record({textValue("x"), textValue("y"), realValue(1e308)});  // never another number
    vk::gisEndRunOn(run, vk::dbfWriteEoF(table));

    EXPECT_EQ(recordBytes(0), " ABCDEAB       1234");
    EXPECT_EQ(recordBytes(1), "  AB  x,y      -1.5");
    EXPECT_EQ(recordBytes(2), " say \"O'Har     1.5");
    EXPECT_EQ(recordBytes(3), " Q                 ");
    EXPECT_EQ(recordBytes(4), "                   ");
    EXPECT_EQ(recordBytes(5), " x    y    ********");
    EXPECT_EQ(recordBytes(6), " A              0.0");
    EXPECT_EQ(recordBytes(7), " x    y     1234567");
    EXPECT_EQ(recordBytes(8), " m                 ");
    EXPECT_EQ(recordBytes(9), " x    y    ********");
    EXPECT_EQ(bytes().size(), 32u * 3 + 33 + 10 * 19 + 1);
}

// A UTF-8 text is cut before a letter that does not fit whole, and its table stays UTF-8.
TEST_F(DbfTest, TextsAreCutAtWholeCharacters) {
    addField("T", "Char", 5);
    const std::array<std::string_view, 3> cases[] = {  // text, field, code page
        {"abcd\xC3\xAD", "abcd ", "1252"}, {"ab\xE9\xBB\x84\xE6\xB2\xB3", "ab\xE9\xBB\x84", "UTF-8"},
        {"abcd\xE9\xA9x", "abcd\xE9", "1252"}};  // Windows-1252: a letter in each byte
    for (const auto& [text, field, codePage] : cases) {
        table = {};
        open();
        header();
        record({textValue(text)});
        vk::gisEndRunOn(run, vk::dbfWriteEoF(table));
        EXPECT_EQ(recordBytes(0), " " + std::string(field)) << text;
        EXPECT_EQ(vk::dbfCodePage(table), codePage) << text;
    }
}

TEST_F(DbfTest, ThreeRecordsAreCountedInTheClosedTable) {
    addField("Name", "Char", 10);
    addField("Value", "Float", 0, 5);
    open();
    header();
    record({textValue("one"), realValue(1)});
    record({textValue("two"), realValue(2)});
    record({textValue("three"), realValue(3)});
    vk::gisEndRunOn(run, vk::dbfWriteEoF(table));

    const std::string file = bytes();
    EXPECT_EQ(file.size(), 32u * 2 + 33 + 3 * (26 + 1) + 1);
    EXPECT_EQ(readI32le(file, 4), 3);
    EXPECT_EQ(file.back(), '\x1A');
    EXPECT_EQ(recordBytes(2), " three              3.00000");
}

TEST_F(DbfTest, TableClosedWithoutRecordsHasCountZeroAndTheEndByte) {
    addField("Only", "Char", 4);
    open();
    header();
    EXPECT_EQ(bytes().size(), 65u);  // header on disk, no end byte yet
    EXPECT_EQ(bytes()[64], '\x0D');

    const std::size_t before = transcript.size();
    vk::gisEndRunOn(run, vk::dbfWriteEoF(table));
    const std::string file = bytes();
    EXPECT_EQ(file.size(), 66u);
    EXPECT_EQ(readI32le(file, 4), 0);
    EXPECT_EQ(file.back(), '\x1A');
    // The count is patched through the file still held, which stays open for its owner.
    EXPECT_EQ(transcript.substr(before), "");
    EXPECT_TRUE(table.isOpen());
}

TEST_F(DbfTest, HeaderWrittenToAFullDiskEndsTheRun) {
    addField("a", "Char", 4);
    const vktest::FullDisk disk(parts.faults, "table.dbf");
    open();
    EXPECT_TRUE(endsRun([&] { header(); }));
    EXPECT_TRUE(transcriptHas("\nERROR 0413 - Writing .dbf file header.\n"));
}

TEST_F(DbfTest, RecordThatCannotBeWrittenEndsTheRun) {
    for (int i = 0; i < 100; ++i)
        addField("F", "Char", 250);
    open();
    header();
    const std::string line(2000, 'v');
    {
        vktest::FileSizeLimit limit(parts.faults, 1 << 20);
        EXPECT_TRUE(endsRun([&] {
            for (int i = 0; i < 200; ++i)
                record({textValue(line)});  // 5 MB in all
        }));
    }
    EXPECT_TRUE(transcriptHas("\nERROR 0417 - Writing .dbf record.\n"));
    EXPECT_LT(table.recordsWritten, 200);
}

TEST_F(DbfTest, TableRemovedBeforeCloseEndsTheRunWithoutRecreatingIt) {
    if (!vktest::kPosixSystem)
        GTEST_SKIP() << "Windows lets nobody remove a file that the run holds";
    addField("a", "Char", 4);
    open();
    header();
    record({textValue("abc")});
    ASSERT_TRUE(std::filesystem::remove(path));
    EXPECT_TRUE(endsRun([&] { vk::gisEndRunOn(run, vk::dbfWriteEoF(table)); }));
    EXPECT_TRUE(transcriptHas("\nERROR 0413 - Rewriting .dbf file header with final "
                              "information.\n"));
    EXPECT_FALSE(vktest::fileExists(path));
}

TEST_F(DbfTest, ByteConversionsTakeOnlyUnsignedRanges) {
    const struct {
        vk::GisStatus (*convert)(int, std::string&);
        int value;
        std::string bytes;  // empty: refused
    } cases[] = {
        {vk::i1u, 0, std::string(1, '\0')}, {vk::i1u, 255, "\xFF"},        {vk::i1u, 256, ""},
        {vk::i1u, -1, ""},                  {vk::i2u, 65535, "\xFF\xFF"}, {vk::i2u, 258, "\x02\x01"},
        {vk::i2u, 65536, ""},               {vk::i2u, -1, ""},
    };
    for (const auto& c : cases) {
        std::string out;
        const vk::GisStatus status = c.convert(c.value, out);
        EXPECT_EQ(out, c.bytes) << c.value;
        EXPECT_EQ(status.error, c.bytes.empty() ? vk::GisError::Fault : vk::GisError::None)
            << c.value;
        if (!status.ok()) {
            EXPECT_EQ(status.detail, c.convert == vk::i1u ? "[i1u: i4 outside range]"
                                                          : "[i2u: i4 outside range]");
        }
    }
    EXPECT_EQ(transcript, "");
}

}  // namespace
