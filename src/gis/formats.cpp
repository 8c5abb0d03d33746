#include "gis/formats.h"

#include "gis/gpkg.h"
#include "gis/mif.h"
#include "gis/shapefile.h"

namespace vk {

namespace {

template <class Writer> std::unique_ptr<LayerWriter> make() {
    return std::make_unique<Writer>();
}

constexpr std::string_view kShapefileExtensions[] = {".shp"};
constexpr std::string_view kGpkgExtensions[] = {".gpkg"};
// A layer named without extension has always been a MIF/MID pair.
constexpr std::string_view kMifExtensions[] = {".mif", ".mid", ""};

// In the help text's order; the first is the format of a run that names none.
constexpr OutputFormat kFormats[] = {
    {
        .name = "Shapefile",
        .option = "shp",
        .help = "for shapefile format",
        .extensions = kShapefileExtensions,
        .setPerFamily = true,
        .templates = {"Header.prj", "Projection.prj"},
        .projectionLine = ProjectionLine::First,
        .projection = &GisProjections::shp,
        .makeWriter = make<ShapefileLayerWriter>,
        .totalsPatched = true,
    },
    {
        .name = "MIF/MID",
        .option = "mif",
        .help = "for MapInfo format",
        .extensions = kMifExtensions,
        .setPerFamily = false,
        .templates = {"Header.mif", "Projection.mif"},
        .projectionLine = ProjectionLine::CoordSys,
        .projection = &GisProjections::mif,
        .makeWriter = make<MifLayerWriter>,
    },
    {
        .name = "GeoPackage",
        .option = "gpkg",
        .help = "for GeoPackage format (every layer and table in one file)",
        .extensions = kGpkgExtensions,
        .setPerFamily = false,
        .templates = {"Header.prj", "Projection.prj"},
        .projectionLine = ProjectionLine::First,
        .projection = &GisProjections::shp,
        .makeWriter = make<GpkgLayerWriter>,
        .templateOptional = true,
        .packageExtension = ".gpkg",
    },
};

} // namespace

std::span<const OutputFormat> outputFormats() {
    return kFormats;
}

const OutputFormat& defaultOutputFormat() {
    return kFormats[0];
}

const OutputFormat* outputFormatOfExtension(std::string_view extension) {
    for (const OutputFormat& format : kFormats)
        for (std::string_view known : format.extensions)
            if (extension == known) return &format;
    return nullptr;
}

} // namespace vk
