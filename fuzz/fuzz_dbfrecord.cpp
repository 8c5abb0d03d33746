// Fuzz target: the dBASE record writer's splitting of an attribute line, through a Shapefile
// layer with character and numeric fields. Every record must be exactly the record length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "gis/gis.h"
#include "gis/registry.h"
#include "gis/shapefile.h"

namespace fs = std::filesystem;

namespace {

struct Layer {
    std::string folder;
    std::string name;
    int id = 0;
    int records = 0;
};

void openLayer(Layer& layer) {
    vk::INITFILEUNITS(1000);
    vk::gisResetAll();
    vk::gisState().schema.fieldCount = 4;
    vk::gisState().schema.fields[0] = {"Stream_ID", "Char", 12};
    vk::gisState().schema.fields[1] = {"Elevation", "Float", 0};
    vk::gisState().schema.fields[2] = {"Flags", "Char", 3};
    vk::gisState().schema.fields[3] = {"Count", "Integer", 0};
    vk::gisState().schema.initialRecordCount = 0;
    layer.id = vk::gisOpenLayer(layer.name, "P", "O ");
    vk::gisWriteHeader(layer.id);
    vk::gisInitialiseObject(vk::gisState().object);
    vk::gisState().object.kind = vk::GisKind::Point;
    vk::gisState().object.n = 1;
    vk::gisState().object.X[0] = 1;
    vk::gisState().object.Y[0] = 2;
    layer.records = 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string sink;
    static Layer layer = [] {
        Layer l;
        std::string pattern = (fs::temp_directory_path() / "vkfuzz-dbf-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        l.folder = pattern;
        l.name = pattern + "/fz.shp";
        return l;
    }();
    vk::console().captureOutput(&sink);
    vk::console().feedInput("");
    try {
        if (layer.id == 0 || layer.records >= 2000) {
            if (layer.id != 0) {
                const int records = layer.records;
                vk::gisCloseLayer(layer.id);
                // Header of four fields, fixed-length records of 1 + 12 + 16 + 3 + 8 bytes, 0x1A.
                const auto expected = static_cast<std::uintmax_t>(32 * 4 + 33 + records * 40 + 1);
                if (fs::file_size(layer.folder + "/fz_P.dbf") != expected) std::abort();
            }
            openLayer(layer);
        }
        sink.clear();
        vk::gisState().object.attributes.assign(reinterpret_cast<const char*>(data), size);
        vk::gisWriteObject(layer.id, vk::gisState().object);
        vk::gisWriteRecord(layer.id, vk::gisState().object);
        ++layer.records;
        const auto& shapes = static_cast<const vk::ShapefileLayerWriter&>(
            *vk::gisLayer(layer.id).writer);
        vk::OutStream& dbf = vk::unitOutput(shapes.tables[0].unit);
        if (dbf.failed()) std::abort();
    } catch (const vk::RunEnd&) {
        // A line that cannot be split ends the run with its message: start a fresh layer.
        layer.id = 0;
    }
    return 0;
}
