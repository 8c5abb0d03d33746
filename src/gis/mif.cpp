// The MIF/MID pair of a layer of format 1. Coordinates go out as 16-character fixed-point fields;
// every object is composed in one reused buffer and handed to the .mif stream in large pieces.
#include "gis/mif.h"

#include <charconv>

#include "files/units.h"
#include "gis/registry.h"
#include "text/fixedpoint.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr int kCoordinateWidth = 16;
constexpr int kCoordinateDecimals = 6;
constexpr int kTextBoxDecimals = 3;
constexpr std::size_t kFieldNameLength = 32;
constexpr std::size_t kTypeWordLength = 24;
// Composed text is passed on to the stream whenever this much has gathered.
constexpr std::size_t kPassOn = 32 * 1024;

constexpr std::string_view kObjectWriteError = "ERROR 0439 - Writing .mif file object coordinates.";

// The .mif text being composed; reused for every object of every layer.
std::string composed;

void appendCount(std::string& out, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void appendCoordinates(std::string& out, double x, double y) {
    appendFixed(out, x, kCoordinateWidth, kCoordinateDecimals);
    appendFixed(out, y, kCoordinateWidth, kCoordinateDecimals);
}

class MifComposer {
  public:
    explicit MifComposer(int unit) : out_(unitOutput(unit)) { composed.clear(); }

    std::string& text() { return composed; }
    void endLine() {
        composed += '\n';
        if (composed.size() >= kPassOn) passOn();
    }
    void line(std::string_view text) {
        composed += text;
        endLine();
    }
    // Vertices first .. first+count-1 (0-based), one line each.
    void vertices(const GisObject& object, std::size_t first, std::size_t count) {
        for (std::size_t j = first; j < first + count; ++j) {
            appendCoordinates(composed, object.X[j], object.Y[j]);
            endLine();
        }
    }
    // Hands the rest to the stream; a write that failed anywhere on the way ends the run.
    void finish() {
        passOn();
        if (out_.failed()) gisFail(kObjectWriteError);
    }

  private:
    void passOn() {
        out_.put(composed);
        composed.clear();
    }
    OutStream& out_;
};

// "Region"/"Pline Multiple" bodies: per part a count line beginning with one blank, then the
// part's vertices. The parts have been checked to be in order and inside the vertex count.
void writeParts(MifComposer& mif, const GisObject& object) {
    const int nr = object.nr;
    for (int i = 1; i <= nr; ++i) {
        const int first = object.ir[static_cast<std::size_t>(i - 1)];
        const int next = i < nr ? object.ir[static_cast<std::size_t>(i)] : object.n + 1;
        const int count = next - first;
        mif.text() += ' ';
        appendCount(mif.text(), count);
        mif.endLine();
        if (count > 0)
            mif.vertices(object, static_cast<std::size_t>(first - 1),
                         static_cast<std::size_t>(count));
    }
}

std::size_t vertexCount(const GisObject& object) {
    return object.n > 0 ? static_cast<std::size_t>(object.n) : 0;
}

} // namespace

void OpenmifFile(std::string_view layerName, int& mifUnit, int& midUnit, std::string_view mode) {
    mifUnit = 0;
    midUnit = 0;
    std::string name = TRIMF(layerName);
    const std::string fullExtension = FILEEXT(name);
    const std::string_view extension = cutTo(fullExtension, 4);
    if (extension == ".mif" || extension == ".mid") name = FILENAMEPATH(name);
    const std::size_t baseLength = name.size();
    name += ".mif";
    OPENER(mifUnit, mode, name, 80);
    name.resize(baseLength);
    name += ".mid";
    OPENER(midUnit, mode, name, 80);
}

void mifWriteHeader(const GisSchema& schema, int mifUnit) {
    if (schema.fieldCount > GisSchema::kMaxFields) gisShouldNotBeHere("[mifWriteHeader-Columns]");
    MifComposer mif(mifUnit);
    mif.line("Version 300");
    mif.line("Charset \"WindowsLatin1\"");
    mif.line("Delimiter \",\"");
    mif.line(trimRight(mifProjection));
    mif.text() += "Columns ";
    appendCount(mif.text(), schema.fieldCount);
    mif.endLine();
    for (int i = 0; i < schema.fieldCount; ++i) {
        const GisAttribute& field = schema.fields[static_cast<std::size_t>(i)];
        std::string& text = mif.text();
        text += "  ";
        text += trimRight(cutTo(field.name, kFieldNameLength));
        text += ' ';
        text += trimRight(cutTo(field.type, kTypeWordLength));
        if (field.width >= 1) {
            text += '(';
            appendCount(text, field.width);
            text += ')';
        }
        mif.endLine();
    }
    mif.line("Data");
    mif.line("");
    mif.finish();
}

void mifWriteObject(const GisObject& object, int mifUnit) {
    // An object without a kind is reported before anything of it is written.
    if (object.kind == GisKind::Unset)
        gisFail("ERROR 0350 - Trying to write a MIF object that is not yet supported.  Please "
                "contact " +
                std::string(kSupportAddress) + ".");

    MifComposer mif(mifUnit);
    std::string& text = mif.text();
    switch (object.kind) {
    case GisKind::Point:
        text += "Point ";
        appendCoordinates(text, object.X[0], object.Y[0]);
        mif.endLine();
        break;
    case GisKind::MultiPoint:
        text += "MultiPoint ";
        appendCount(text, object.n);
        mif.endLine();
        mif.vertices(object, 0, vertexCount(object));
        break;
    case GisKind::Line:
        text += "Line ";
        appendCoordinates(text, object.X[0], object.Y[0]);
        appendCoordinates(text, object.X[1], object.Y[1]);
        mif.endLine();
        break;
    case GisKind::Pline:
        text += "Pline ";
        appendCount(text, object.n);
        mif.endLine();
        mif.vertices(object, 0, vertexCount(object));
        break;
    case GisKind::PlineMultiple:
        text += "Pline Multiple ";
        appendCount(text, object.nr);
        mif.endLine();
        writeParts(mif, object);
        break;
    case GisKind::Region:
        if (object.nr < 2) {
            mif.line("Region 1");
            text += ' ';
            appendCount(text, object.n);
            mif.endLine();
            mif.vertices(object, 0, vertexCount(object));
        } else {
            text += "Region ";
            appendCount(text, object.nr);
            mif.endLine();
            writeParts(mif, object);
        }
        break;
    case GisKind::Text:
        mif.line("Text");
        mif.line(trimRight(object.attributes));
        text += "    ";
        appendFixed(text, object.X[1], kCoordinateWidth, kTextBoxDecimals);
        appendFixed(text, object.Y[1], kCoordinateWidth, kTextBoxDecimals);
        appendFixed(text, object.X[2], kCoordinateWidth, kTextBoxDecimals);
        appendFixed(text, object.Y[2], kCoordinateWidth, kTextBoxDecimals);
        mif.endLine();
        break;
    case GisKind::None:
    case GisKind::Unset:
        mif.line("none");
        break;
    }
    mif.finish();
}

} // namespace vk
