// The Shapefile writer: a layer is up to three sets, one per geometry family (points "P", lines
// "L", regions "R"), each a .shp, .shx, .prj and its .dbf table (NAME_P.shp, NAME_P.dbf, ...).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "gis/dbf.h"
#include "gis/shp.h"
#include "gis/writer.h"

namespace vk {

class ShapefileLayerWriter final : public LayerWriter {
  public:
    // units: the run's table, which holds the .cpg files it makes.
    explicit ShapefileLayerWriter(UnitTable& units) : units_(units) {}
    // Names the files of the set of each letter of kinds once, in the order given.
    GisStatus open(std::string_view name, std::string_view kinds) override;
    std::span<OutputFile> files() override { return files_; }
    // Each set created: its .prj line, both main-file headers and the .dbf header.
    GisStatus header(const GisSchema& schema, const GisProjections& projections) override;
    // Into the set of the object's family; a text becomes its point, a none object goes into
    // every set.
    GisStatus object(GisObject& object) override;
    GisStatus record(const GisObject& object) override;
    // The .dbf record counts and the .shp/.shx lengths and boxes of the sets with records, then
    // every byte of every set written, and each .dbf's code page into its .cpg.
    GisStatus finish() override;

    std::array<ShapeSet, 3> sets{};  // points, lines, regions
    std::array<DbfTable, 3> tables{};

  private:
    UnitTable& units_;
    // Each created set's .shp, .shx, .prj and .dbf, sets in the order of their letters.
    std::vector<OutputFile> files_;
    // The .cpg beside each .dbf, made when the table is complete.
    std::array<OutputFile, 3> codePages_;
};

} // namespace vk
