// Fuzz target: a whole conversion of the input bytes as an .sdf file, in a private temporary
// folder, standard input closed and the console to a sink; the first byte chooses the format.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "driver/run.h"
#include "files/console.h"

namespace fs = std::filesystem;

namespace {

// The private folder "in" inside a fresh folder, on a memory file system when there is one (the
// conversion creates and removes about twenty files per input), removed at the end of the run.
struct OuterFolder {
    std::string path;
    OuterFolder() {
        std::error_code ec;
        const fs::path base =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        path = (base / "vkfuzz-XXXXXX").string();
        if (mkdtemp(path.data()) == nullptr) std::abort();
    }
    ~OuterFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

const std::string& outerFolder() {
    static const OuterFolder folder;
    return folder.path;
}

const std::string& workFolder() {
    static const std::string folder = [] {
        const std::string in = outerFolder() + "/in";
        fs::create_directory(in);
        std::ofstream(in + "/Header.prj") << "PROJCS[\"Fuzz\",GEOGCS[\"GCS\"]]\n";
        std::ofstream(in + "/Header.mif") << "CoordSys Earth Projection 1, 104\n";
        return in;
    }();
    return folder;
}

// Nothing may be written outside the input's folder.
void checkNothingOutside() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(outerFolder(), ec))
        if (entry.path().filename() != "in") std::abort();
}

void clearOutputs(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name == "Header.prj" || name == "Header.mif") continue;
        fs::remove_all(entry.path(), ec);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = workFolder();
    clearOutputs(folder);
    const std::string input = folder + "/in.sdf";
    {
        std::ofstream out(input, std::ios::binary);
        if (size > 1)
            out.write(reinterpret_cast<const char*>(data + 1),
                      static_cast<std::streamsize>(size - 1));
    }
    const bool mif = size > 0 && (data[0] & 1) != 0;
    const bool notrim = size > 0 && (data[0] & 2) != 0;
    std::vector<std::string> args{"varnokline", mif ? "-mif" : "-shp"};
    if (notrim) args.push_back("-notrim");
    args.push_back(input);

    static std::string sink;
    sink.clear();
    // The run's console writes into the sink, as a program that embeds the conversion has it.
    static vk::Console console([](std::string_view bytes) { sink.append(bytes); });
    const int status = vk::run(args, console);
    if (status != 0 && status != 1) std::abort();
    // A run succeeds exactly when it finished.
    static constexpr std::string_view kFinished = "\nFinished.\n\nPress Enter to Close\n";
    if ((status == 0) != std::string_view(sink).ends_with(kFinished)) std::abort();
    checkNothingOutside();
    return 0;
}
