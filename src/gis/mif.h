// The MIF/MID writer: a MapInfo interchange pair, the .mif file with the header and the geometry
// and the .mid file with one attribute line per object.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "gis/valuetext.h"
#include "gis/writer.h"

namespace vk {

class MifLayerWriter final : public LayerWriter {
  public:
    // Names NAME.mif and NAME.mid, where NAME is the layer name without blanks around it and
    // without a ".mif" or ".mid" extension.
    GisStatus open(std::string_view name, std::string_view kinds) override;
    std::span<OutputFile> files() override { return files_; }
    // Version, character set, delimiter, the run's CoordSys line, the column list and "Data"
    // followed by an empty line.
    GisStatus header(const GisSchema& schema, const GisProjections& projections) override;
    // One object in MIF syntax, by its kind. The object must have passed its layer's checks
    // (GisLayer::writeObject: parts in order and inside the vertex count, vertex count inside the
    // arrays).
    GisStatus object(GisObject& object) override;
    // One .mid line: the values separated by commas, a text in double quotes (one inside doubled)
    // unless its field is bare, a real as its field says; at most 1000 characters.
    GisStatus record(const GisObject& object) override;
    // A MIF/MID pair has no totals: what is buffered is written.
    GisStatus finish() override;

    OutputFile& mif() { return files_[0]; }
    OutputFile& mid() { return files_[1]; }

  private:
    std::array<OutputFile, 2> files_;
    ValueTexts values_;
    // The .mif text being composed; reused for every object.
    std::string composed_;
    // The last .mid line, with where the text of each of its first `lineFields_` values ends.
    std::string line_;
    std::vector<std::size_t> ends_;
    std::size_t lineFields_ = 0;
};

} // namespace vk
