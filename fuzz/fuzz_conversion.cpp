// Fuzz target: a whole conversion of the input bytes as an .sdf file, in a private temporary
// folder, standard input closed and the console to a sink; the first byte chooses the format.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "driver/run.h"
#include "files/console.h"

namespace fs = std::filesystem;

namespace {

const std::string& workFolder() {
    static const std::string folder = [] {
        std::string pattern = (fs::temp_directory_path() / "vkfuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        std::ofstream(pattern + "/Header.prj") << "PROJCS[\"Fuzz\",GEOGCS[\"GCS\"]]\n";
        std::ofstream(pattern + "/Header.mif") << "CoordSys Earth Projection 1, 104\n";
        return pattern;
    }();
    return folder;
}

void clearOutputs(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name == "Header.prj" || name == "Header.mif") continue;
        fs::remove_all(entry.path(), ec);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = workFolder();
    clearOutputs(folder);
    const std::string input = folder + "/in.sdf";
    {
        std::ofstream out(input, std::ios::binary);
        if (size > 1) out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    const bool mif = size > 0 && (data[0] & 1) != 0;
    const bool notrim = size > 0 && (data[0] & 2) != 0;
    std::vector<std::string> args{"varnokline", mif ? "-mif" : "-shp"};
    if (notrim) args.push_back("-notrim");
    args.push_back(input);

    static std::string sink;
    sink.clear();
    vk::console().captureOutput(&sink);
    vk::console().feedInput("");
    const int status = vk::run(args);
    if (status != 0 && status != 1) std::abort();
    if (status == 0 && sink.find("Finished.") == std::string::npos) std::abort();
    return 0;
}
