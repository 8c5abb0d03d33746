// The MIF/MID pair of a layer. Coordinates go out as 16-character fixed-point fields;
// every object is composed in one reused buffer and handed to the .mif stream in large pieces.
#include "gis/mif.h"

#include <algorithm>

#include "text/fixedpoint.h"
#include "text/paths.h"
#include "text/strings.h"

namespace vk {

namespace {

constexpr int kCoordinateWidth = 16;
constexpr int kCoordinateDecimals = 6;
constexpr std::size_t kFieldNameLength = 32;
constexpr std::size_t kTypeWordLength = 24;
// Composed text is passed on to the stream whenever this much has gathered.
constexpr std::size_t kPassOn = 32 * 1024;

constexpr std::size_t kTypeNameLength = 24;
// A .mid line is cut at this length.
constexpr std::size_t kMaxAttributeLine = 1000;

void appendCoordinates(std::string& out, double x, double y) {
    appendFixed(out, x, kCoordinateWidth, kCoordinateDecimals);
    appendFixed(out, y, kCoordinateWidth, kCoordinateDecimals);
}

class MifComposer {
  public:
    MifComposer(OutputFile& file, std::string& composed) : out_(file.out()), composed_(composed) {
        composed_.clear();
    }

    std::string& text() { return composed_; }
    void endLine() {
        composed_ += '\n';
        if (composed_.size() >= kPassOn) passOn();
    }
    void line(std::string_view text) {
        composed_ += text;
        endLine();
    }
    // Vertices first .. first+count-1 (0-based), one line each.
    void vertices(const GisObject& object, std::size_t first, std::size_t count) {
        for (std::size_t j = first; j < first + count; ++j) {
            appendCoordinates(composed_, object.X[j], object.Y[j]);
            endLine();
        }
    }
    // Hands the rest to the stream; a write that failed anywhere on the way is its failure.
    GisStatus finish() {
        passOn();
        if (out_.failed()) return {GisError::MifObjectWrite, {}};
        return {};
    }

  private:
    void passOn() {
        out_.put(composed_);
        composed_.clear();
    }
    OutStream& out_;
    std::string& composed_;
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
        appendInteger(mif.text(), count);
        mif.endLine();
        if (count > 0)
            mif.vertices(object, static_cast<std::size_t>(first - 1),
                         static_cast<std::size_t>(count));
    }
}

std::size_t vertexCount(const GisObject& object) {
    return object.n > 0 ? static_cast<std::size_t>(object.n) : 0;
}

std::string typeWord(const GisObject& object) {
    return std::string(trimRight(cutTo(object.typeName, kTypeNameLength)));
}

} // namespace

GisStatus MifLayerWriter::open(std::string_view layerName, std::string_view kinds) {
    (void)kinds;  // one pair holds every kind
    std::string name = TRIMF(layerName);
    const std::string fullExtension = FILEEXT(name);
    const std::string_view extension = cutTo(fullExtension, 4);
    if (extension == ".mif" || extension == ".mid") name = FILENAMEPATH(name);
    files_[0] = OutputFile(name + ".mif");
    files_[1] = OutputFile(name + ".mid");
    return {};
}

GisStatus MifLayerWriter::header(const GisSchema& schema, const GisProjections& projections) {
    if (schema.fieldCount > GisSchema::kMaxFields) return gisFault("[mifWriteHeader-Columns]");
    values_.setSchema(schema);
    ends_.assign(values_.fieldCount(), 0);
    lineFields_ = 0;
    MifComposer mif(files_[0], composed_);
    mif.line("Version 300");
    mif.line("Charset \"WindowsLatin1\"");
    mif.line("Delimiter \",\"");
    mif.line(trimRight(projections.mif));
    mif.text() += "Columns ";
    appendInteger(mif.text(), schema.fieldCount);
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
            appendInteger(text, field.width);
            text += ')';
        }
        mif.endLine();
    }
    mif.line("Data");
    mif.line("");
    return mif.finish();
}

GisStatus MifLayerWriter::object(GisObject& object) {
    // An object without a kind is reported before anything of it is written.
    if (object.kind == GisKind::Unset) return {GisError::MifKindUnsupported, {}};

    MifComposer mif(files_[0], composed_);
    std::string& text = mif.text();
    switch (object.kind) {
    case GisKind::Point:
        text += "Point ";
        appendCoordinates(text, object.X[0], object.Y[0]);
        mif.endLine();
        break;
    case GisKind::Pline:
        text += "Pline ";
        appendInteger(text, object.n);
        mif.endLine();
        mif.vertices(object, 0, vertexCount(object));
        break;
    case GisKind::Region:
        if (object.nr < 2) {
            mif.line("Region 1");
            text += ' ';
            appendInteger(text, object.n);
            mif.endLine();
            mif.vertices(object, 0, vertexCount(object));
        } else {
            text += "Region ";
            appendInteger(text, object.nr);
            mif.endLine();
            writeParts(mif, object);
        }
        break;
    case GisKind::None:
    case GisKind::Unset:
        mif.line("none");
        break;
    }
    return mif.finish();
}

GisStatus MifLayerWriter::record(const GisObject& object) {
    const std::size_t count = std::min(object.values.size(), values_.fieldCount());
    // The values that the producer says repeat the last record's keep the text they were
    // composed to.
    std::size_t k = std::min(object.repeated, lineFields_);
    line_.resize(k > 0 ? ends_[k - 1] : 0);
    for (; k < count; ++k) {
        if (k > 0) line_ += ',';
        line_ += values_.midText(k, object.values[k]);
        ends_[k] = line_.size();
    }
    lineFields_ = count;
    // No value's text ends in a blank: only a line that is cut may.
    OutStream& out = mid().out();
    out.putLine(line_.size() <= kMaxAttributeLine ? std::string_view(line_)
                                                  : trimRight(cutTo(line_, kMaxAttributeLine)));
    if (out.failed()) return {GisError::MidRecordWrite, typeWord(object)};
    return {};
}

// Output still in the buffers reaches the disk before the files are closed, so that a full disk
// is reported rather than lost in the close.
GisStatus MifLayerWriter::finish() {
    if (mif().isOpen() && !mif().out().flush()) return {GisError::MifObjectWrite, {}};
    if (mid().isOpen() && !mid().out().flush()) return {GisError::MidRecordWrite, {}};
    return {};
}

} // namespace vk
