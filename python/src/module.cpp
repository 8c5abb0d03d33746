// The compiled part of the Python package: the program's run in this process on a console of its
// own whose text is kept, its layers taken from a memory dataset as numpy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <geos_c.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <string>
#include <vector>

#include "driver/run.h"
#include "files/console.h"
#include "files/platform.h"
#include "gis/memory.h"

namespace py = pybind11;

namespace {

// A vector handed to numpy without a copy: the array owns it.
template <class T> py::array_t<T> take(std::vector<T>& values) {
    auto* held = new std::vector<T>(std::move(values));
    py::capsule owner(held, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>(static_cast<py::ssize_t>(held->size()), held->data(), owner);
}

// The features' geometries made with GEOS, the library shapely wraps, so that a shapely object is
// made around each without a call through ctypes: one address per feature, 0 for none (or one
// that GEOS refuses, such as a ring of fewer than four vertices).
class GeosGeometries {
  public:
    GeosGeometries() : context_(GEOS_init_r()) {}
    ~GeosGeometries() { GEOS_finish_r(context_); }
    GeosGeometries(const GeosGeometries&) = delete;
    GeosGeometries& operator=(const GeosGeometries&) = delete;

    std::vector<std::uint64_t> of(const vk::MemoryLayer& layer) {
        std::vector<std::uint64_t> out(layer.count, 0);
        if (layer.geometry == 0) return out;
        for (std::size_t i = 0; i < layer.count; ++i) {
            const auto first = static_cast<std::size_t>(layer.parts[i]);
            const auto end = static_cast<std::size_t>(layer.parts[i + 1]);
            if (first == end) continue;
            out[i] = reinterpret_cast<std::uint64_t>(feature(layer, first, end));
        }
        return out;
    }

  private:
    GEOSCoordSequence* sequence(const vk::MemoryLayer& layer, std::size_t part, bool twice) {
        const auto start = static_cast<std::size_t>(layer.partStarts[part]);
        const auto count = static_cast<unsigned>(layer.partStarts[part + 1] - layer.partStarts[part]);
        const double* z = layer.hasZ ? layer.z.data() + start : nullptr;
        if (twice && count == 1) {  // a line of one vertex: that vertex twice, as GEOS needs two
            const double x[2] = {layer.x[start], layer.x[start]}, y[2] = {layer.y[start], layer.y[start]};
            const double zz[2] = {z ? z[0] : 0.0, z ? z[0] : 0.0};
            return GEOSCoordSeq_copyFromArrays_r(context_, x, y, z ? zz : nullptr, nullptr, 2);
        }
        return GEOSCoordSeq_copyFromArrays_r(context_, layer.x.data() + start,
                                             layer.y.data() + start, z, nullptr, count);
    }

    GEOSGeometry* feature(const vk::MemoryLayer& layer, std::size_t first, std::size_t end) {
        switch (layer.geometry) {
        case 'P': {
            const auto at = static_cast<std::size_t>(layer.partStarts[first]);
            return GEOSGeom_createPointFromXY_r(context_, layer.x[at], layer.y[at]);
        }
        case 'L':
            return GEOSGeom_createLineString_r(context_, sequence(layer, first, true));
        default: {
            GEOSGeometry* shell = GEOSGeom_createLinearRing_r(context_, sequence(layer, first, false));
            std::vector<GEOSGeometry*> holes;
            for (std::size_t k = first + 1; k < end && shell; ++k) {
                holes.push_back(GEOSGeom_createLinearRing_r(context_, sequence(layer, k, false)));
                if (holes.back()) continue;
                holes.pop_back();
                for (GEOSGeometry* hole : holes) GEOSGeom_destroy_r(context_, hole);
                GEOSGeom_destroy_r(context_, shell);
                return nullptr;
            }
            if (!shell) return nullptr;
            return GEOSGeom_createPolygon_r(context_, shell, holes.data(),
                                            static_cast<unsigned>(holes.size()));
        }
        }
    }

    GEOSContextHandle_t context_;
};

struct Ran {
    int status = 1;
    std::string console;
};

// The run on a console of its own whose output is kept as text and whose input has ended: a
// prompt ends as at the end of the input, the closing pause does not wait, and nothing ends the
// process. Runs on other threads have consoles of their own.
Ran runQuietly(const std::vector<std::string>& args, const vk::RunHooks& hooks) {
    Ran ran;
    vk::Console console([&ran](std::string_view text) { ran.console.append(text); });
    ran.status = vk::run(args, console, hooks);
    return ran;
}

py::dict layerArrays(vk::MemoryLayer& layer) {
    py::dict out;
    out["name"] = py::bytes(layer.name);
    out["geometry"] = std::string(layer.geometry ? 1 : 0, layer.geometry);
    out["has_z"] = layer.hasZ;
    out["count"] = layer.count;
    py::list columns;
    for (vk::MemoryColumn& column : layer.columns) {
        if (column.numeric) {
            columns.append(py::make_tuple(column.name, take(column.numbers)));
            continue;
        }
        py::list texts;
        for (const std::string& text : column.texts)
            texts.append(py::reinterpret_steal<py::str>(PyUnicode_DecodeUTF8(
                text.data(), static_cast<py::ssize_t>(text.size()), "replace")));
        column.known.clear();
        columns.append(py::make_tuple(column.name, take(column.codes), texts));
    }
    out["columns"] = columns;
    return out;
}

// The export read into memory: (exit status, console, the run's coordinate system as its EPSG code
// (0: none) and definition, output folder, base name, layers as arrays).
py::tuple readExport(const std::vector<std::string>& args) {
    vk::MemoryStore store;
    Ran ran;
    {
        const py::gil_scoped_release released;
        vk::RunHooks hooks;
        hooks.openDataset = [&store](vk::RunContext& run, const vk::OutputFormat& format,
                                     vk::DatasetPlace place) {
            return vk::openMemory(store, run, format, std::move(place));
        };
        ran = runQuietly(args, hooks);
    }
    std::vector<std::vector<std::uint64_t>> shapes;
    {
        const py::gil_scoped_release released;
        GeosGeometries geos;
        for (const auto& layer : store.layers) {
            shapes.push_back(geos.of(*layer));
            // GEOS holds the coordinates now.
            std::vector<double>().swap(layer->x);
            std::vector<double>().swap(layer->y);
            std::vector<double>().swap(layer->z);
        }
    }
    py::list layers;
    for (std::size_t k = 0; k < store.layers.size(); ++k) {
        auto& layer = store.layers[k];
        py::dict arrays = layerArrays(*layer);
        arrays["geos"] = take(shapes[k]);
        layers.append(arrays);
        layer.reset();  // its arrays are numpy's now, its texts Python's
    }
    return py::make_tuple(ran.status, py::bytes(ran.console), store.epsg, py::bytes(store.projection),
                          py::bytes(store.folder), py::bytes(store.base), layers);
}

// The program's run with its console kept: (exit status, console). `progress`, when not None, is
// called between two sections with the number written so far; an exception it raises ends the run
// as an interruption does and is raised again once the run has ended.
py::tuple convertExports(const std::vector<std::string>& args, const py::object& progress) {
    Ran ran;
    std::unique_ptr<py::error_already_set> raised;
    vk::RunHooks hooks;
    if (!progress.is_none())
        hooks.betweenSections = [&progress, &raised](std::int64_t written) {
            const py::gil_scoped_acquire held;
            try {
                progress(written);
                return true;
            } catch (py::error_already_set& error) {
                raised = std::make_unique<py::error_already_set>(std::move(error));
                return false;
            }
        };
    {
        const py::gil_scoped_release released;
        ran = runQuietly(args, hooks);
    }
    if (raised) throw std::move(*raised);
    return py::make_tuple(ran.status, py::bytes(ran.console));
}

// The program's command line on the process's own console: its exit status.
int runCommandLine(const std::vector<std::string>& args) {
    const py::gil_scoped_release released;
    // The program's own process, as its executable's run: interruptions end the run in good
    // order, names reach the console whole.
    vk::sys::watchInterruptions();
    const vk::sys::Utf8Console utf8;
    vk::Console console;  // the process's standard output and input
    return vk::run(args, console);
}

} // namespace

PYBIND11_MODULE(_varnokline, m) {
    m.doc() = "The varnokline conversion run in this process.";
    m.def("read", &readExport, py::arg("args"));
    m.def("convert", &convertExports, py::arg("args"), py::arg("progress") = py::none());
    m.def("main", &runCommandLine, py::arg("args"));
}
