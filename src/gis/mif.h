// The MIF/MID writer: a MapInfo interchange pair, the .mif file with the header and the geometry
// and the .mid file with one attribute line per object.
#pragma once

#include <string>
#include <string_view>

#include "gis/writer.h"

namespace vk {

class MifLayerWriter final : public LayerWriter {
  public:
    GisFormat format() const override { return GisFormat::Mif; }
    // Creates NAME.mif and NAME.mid, where NAME is the layer name without blanks around it and
    // without a ".mif" or ".mid" extension.
    GisStatus open(std::string_view name, std::string_view kinds) override;
    // Version, character set, delimiter, the run's CoordSys line, the column list and "Data"
    // followed by an empty line.
    GisStatus header(const GisSchema& schema, const GisProjections& projections) override;
    // One object in MIF syntax, by its kind. The object must have passed gisWriteObject's checks
    // (parts in order and inside the vertex count, vertex count inside the arrays).
    GisStatus object(GisObject& object) override;
    GisStatus record(const GisObject& object) override;
    GisStatus finish() override { return {}; }  // a MIF/MID pair has no totals
    // A failure of the .mid here names no type word: the layer operations add the shared
    // object's.
    GisStatus close() override;

    int mifUnit = 0;  // 0 until opened
    int midUnit = 0;

  private:
    // The .mif text being composed; reused for every object of the layer.
    std::string composed_;
};

} // namespace vk
