// The compiled part of the Python package: the program's run in this process, its console kept,
// its layers taken from a memory dataset as numpy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <mutex>
#include <string>
#include <vector>

#include "driver/run.h"
#include "files/console.h"
#include "files/platform.h"
#include "gis/memory.h"

namespace py = pybind11;

namespace {

// The console is the process's: one run at a time.
std::mutex runMutex;

// A vector handed to numpy without a copy: the array owns it.
template <class T> py::array_t<T> take(std::vector<T>& values) {
    auto* held = new std::vector<T>(std::move(values));
    py::capsule owner(held, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>(static_cast<py::ssize_t>(held->size()), held->data(), owner);
}

struct Ran {
    int status = 1;
    std::string console;
};

// The run with its console written to a text and no input to wait on: a prompt ends as at the
// end of the input, the closing pause does not wait.
class CapturedConsole {
  public:
    explicit CapturedConsole(std::string& sink) {
        vk::console().captureOutput(&sink);
        vk::console().feedInput("", false);
    }
    ~CapturedConsole() {
        vk::console().captureOutput(nullptr);
        vk::console().useStandardInput();
    }
    CapturedConsole(const CapturedConsole&) = delete;
    CapturedConsole& operator=(const CapturedConsole&) = delete;
};

Ran runQuietly(const std::vector<std::string>& args, vk::MemoryStore* store) {
    const std::lock_guard lock(runMutex);
    Ran ran;
    const CapturedConsole captured(ran.console);
    if (!store) {
        ran.status = vk::run(args);
        return ran;
    }
    ran.status = vk::run(args, [store](const vk::OutputFormat& format, vk::DatasetPlace place) {
        return vk::openMemory(*store, format, std::move(place));
    });
    return ran;
}

py::dict layerArrays(vk::MemoryLayer& layer) {
    py::dict out;
    out["name"] = py::bytes(layer.name);
    out["geometry"] = std::string(layer.geometry ? 1 : 0, layer.geometry);
    out["has_z"] = layer.hasZ;
    out["count"] = layer.count;
    out["parts"] = take(layer.parts);
    out["part_starts"] = take(layer.partStarts);
    out["x"] = take(layer.x);
    out["y"] = take(layer.y);
    out["z"] = take(layer.z);
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

// The export read into memory: (exit status, console, projection text, layers as arrays).
py::tuple readExport(const std::vector<std::string>& args) {
    vk::MemoryStore store;
    Ran ran;
    {
        const py::gil_scoped_release released;
        ran = runQuietly(args, &store);
    }
    py::list layers;
    for (auto& layer : store.layers) {
        layers.append(layerArrays(*layer));
        layer.reset();  // its arrays are numpy's now, its texts Python's
    }
    return py::make_tuple(ran.status, py::bytes(ran.console), py::bytes(store.projection),
                          py::bytes(store.folder), py::bytes(store.base), layers);
}

// The program's run with its console kept: (exit status, console).
py::tuple convertExports(const std::vector<std::string>& args) {
    Ran ran;
    {
        const py::gil_scoped_release released;
        ran = runQuietly(args, nullptr);
    }
    return py::make_tuple(ran.status, py::bytes(ran.console));
}

// The program's command line on the process's own console: its exit status.
int runCommandLine(const std::vector<std::string>& args) {
    const py::gil_scoped_release released;
    const std::lock_guard lock(runMutex);
    // The program's own process, as its executable's run: interruptions end the run in good
    // order, names reach the console whole.
    vk::sys::watchInterruptions();
    const vk::sys::Utf8Console utf8;
    return vk::run(args);
}

} // namespace

PYBIND11_MODULE(_varnokline, m) {
    m.doc() = "The varnokline conversion run in this process.";
    m.def("read", &readExport, py::arg("args"));
    m.def("convert", &convertExports, py::arg("args"));
    m.def("main", &runCommandLine, py::arg("args"));
}
