// Fuzz target: the list-directed reader, the value splitter and NUMBEROFNUMBERS on one line.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/listdirected.h"
#include "text/strings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);

    const int count = vk::NUMBEROFNUMBERS(line);
    if (count > static_cast<int>(size) || -count > static_cast<int>(size)) std::abort();

    // Every value the splitter hands out lies inside the line (or is its own unquoted copy), and
    // the splitter always reaches its end.
    vk::ListSplitter split(line);
    std::size_t values = 0;
    for (;;) {
        vk::ListValue v = split.next();
        if (v.kind == vk::ListValue::Kind::End) break;
        if (v.kind == vk::ListValue::Kind::Plain || v.kind == vk::ListValue::Kind::Repeat) {
            if (v.text.data() < line.data() || v.text.data() + v.text.size() > line.data() + line.size())
                std::abort();
        }
        if (v.kind == vk::ListValue::Kind::Quoted && v.quoted.size() > size) std::abort();
        if (++values > size + 1) std::abort();  // no value without consuming input
    }

    // Mixed reads of numbers and texts; a number that reads Ok is finite.
    vk::ListReader reader(line);
    double d = 0;
    float f = 0;
    std::string s;
    for (int i = 0; i < 8; ++i) {
        vk::ReadStatus st = (i % 3 == 0) ? reader.read(d) : (i % 3 == 1) ? reader.read(f) : reader.read(s);
        if (st == vk::ReadStatus::End) break;
        if (st == vk::ReadStatus::Ok && i % 3 == 0 && std::isnan(d)) std::abort();
        if (st == vk::ReadStatus::Ok && i % 3 == 1 && std::isnan(f)) std::abort();
    }
    return 0;
}
