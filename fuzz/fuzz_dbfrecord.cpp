// Fuzz target: the dBASE record writer's formatting of typed values (texts of any bytes, reals of
// any bit pattern, integers), through a Shapefile layer with character and numeric fields. Every
// record must be exactly the record length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "files/console.h"
#include "files/exits.h"
#include "files/units.h"
#include "gis/dataset.h"
#include "gis/formats.h"
#include "gis/shapefile.h"

namespace fs = std::filesystem;

namespace {

// The run the layers are written for: its console captured, its units and its end.
struct Run {
    vk::sys::WriteFaults faults;
    vk::Console console;
    vk::ExitState exit;
    vk::UnitTable units{console, faults};
    vk::RunContext context{console, units, exit};
};

Run& fuzzRun() {
    static Run run;
    return run;
}

struct Layer {
    std::string folder;
    std::string name;
    std::unique_ptr<vk::GisDataset> dataset;
    std::unique_ptr<vk::GisLayer> layer;
    int records = 0;
    vk::GisObject point;
};

void openLayer(Layer& layer) {
    vk::RunContext& run = fuzzRun().context;
    vk::INITFILEUNITS(run, 1000);
    layer.layer.reset();
    layer.dataset = vk::defaultOutputFormat().openDataset(run, vk::defaultOutputFormat(), {});
    vk::GisSchema schema;
    schema.fieldCount = 4;
    schema.fields[0] = {"Stream_ID", "Char", 12};
    schema.fields[1] = {"Elevation", "Float", 0, 10, 3};
    schema.fields[2] = {"Flags", "Char", 3, 0, 0, true};
    schema.fields[3] = {"Count", "Integer", 0, 8, 0};
    layer.layer = layer.dataset->createLayer(layer.name, "P", schema);
    layer.point.kind = vk::GisKind::Point;
    layer.point.n = 1;
    layer.point.X[0] = 1;
    layer.point.Y[0] = 2;
    layer.records = 0;
}

// The values of one record from the input: a tag byte each (text, real, integer by its value
// modulo 3), then a text's length byte and bytes, or the 8 bytes of a number.
void decode(const std::uint8_t* data, std::size_t size, std::vector<vk::GisValue>& values) {
    values.clear();
    std::size_t at = 0;
    while (at < size && values.size() < 6) {
        const int tag = data[at++] % 3;
        if (tag == 0) {
            const std::size_t length = at < size ? data[at++] : 0;
            const std::size_t taken = std::min(length, size - at);
            values.push_back(
                vk::textValue({reinterpret_cast<const char*>(data + at), taken}));
            at += taken;
            continue;
        }
        std::uint64_t bits = 0;
        const std::size_t taken = std::min<std::size_t>(8, size - at);
        std::memcpy(&bits, data + at, taken);
        at += taken;
        double real;
        std::memcpy(&real, &bits, sizeof real);
        values.push_back(tag == 1 ? vk::realValue(real)
                                  : vk::GisValue{vk::GisValue::Type::Integer, {}, 0.0, static_cast<std::int64_t>(bits)});
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::string sink;
    // The run first, so that it outlives the layer (statics end in the reverse order of their
    // making): the layer's files are closed through the run's unit table at exit.
    Run& run = fuzzRun();
    static Layer layer = [] {
        Layer l;
        std::string pattern = (fs::temp_directory_path() / "vkfuzz-dbf-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        l.folder = pattern;
        l.name = pattern + "/fz.shp";
        return l;
    }();
    run.console.captureOutput(&sink);
    run.console.feedInput("");
    try {
        if (!layer.layer || layer.records >= 2000) {
            if (layer.layer) {
                const int records = layer.records;
                layer.layer->close();
                // Header of four fields, fixed-length records of 1 + 12 + 16 + 3 + 8 bytes, 0x1A.
                const auto expected = static_cast<std::uintmax_t>(32 * 4 + 33 + records * 40 + 1);
                if (fs::file_size(layer.folder + "/fz_P.dbf") != expected) std::abort();
            }
            openLayer(layer);
        }
        sink.clear();
        decode(data, size, layer.point.values);
        layer.layer->writeObject(layer.point);
        layer.layer->writeRecord(layer.point);
        ++layer.records;
        const auto& shapes =
            static_cast<const vk::ShapefileLayerWriter&>(layer.layer->writer());
        if (shapes.tables[0].file->out().failed()) std::abort();
    } catch (const vk::RunEnd&) {
        // No value ends the run: whatever did is a fault of the writer.
        std::abort();
    }
    return 0;
}
