#include "gis/formats.h"

#include "gis/gpkg.h"
#include "gis/mif.h"
#include "gis/shapefile.h"

namespace vk {

namespace {

template <class Writer>
std::unique_ptr<GisDataset> openFiles(RunContext& run, const OutputFormat& format,
                                      DatasetPlace place) {
    return std::make_unique<LayerFiles<Writer>>(run, format, std::move(place));
}

// In the help text's order; the first is the format of a run that names none.
constexpr OutputFormat kFormats[] = {
    {
        .name = "Shapefile",
        .option = "shp",
        .help = "for shapefile format",
        .extension = ".shp",
        .templates = {"Header.prj", "Projection.prj"},
        .projectionLine = ProjectionLine::First,
        .projection = &GisProjections::shp,
        .openDataset = openFiles<ShapefileLayerWriter>,
        .totalsPatched = true,
    },
    {
        .name = "MIF/MID",
        .option = "mif",
        .help = "for MapInfo format",
        .extension = ".mif",
        .templates = {"Header.mif", "Projection.mif"},
        .projectionLine = ProjectionLine::CoordSys,
        .projection = &GisProjections::mif,
        .openDataset = openFiles<MifLayerWriter>,
    },
    {
        .name = "GeoPackage",
        .option = "gpkg",
        .help = "for GeoPackage format (every layer and table in one file)",
        .extension = ".gpkg",
        .templates = {"Header.prj", "Projection.prj"},
        .projectionLine = ProjectionLine::First,
        .projection = &GisProjections::shp,
        .openDataset = openGeoPackage,
        .templateOptional = true,
    },
};

} // namespace

std::span<const OutputFormat> outputFormats() {
    return kFormats;
}

const OutputFormat& defaultOutputFormat() {
    return kFormats[0];
}

} // namespace vk
