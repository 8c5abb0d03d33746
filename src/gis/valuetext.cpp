#include "gis/valuetext.h"

#include <bit>
#include <charconv>

#include "text/fixedpoint.h"

namespace vk {

void ValueTexts::setSchema(const GisSchema& schema) {
    fields_.clear();
    for (int k = 0; k < schema.fieldCount && k < GisSchema::kMaxFields; ++k)
        fields_.push_back({schema.fields[static_cast<std::size_t>(k)], false, 0, {}});
}

std::string_view ValueTexts::real(std::size_t k, double value) {
    Field& f = fields_[k];
    const auto bits = std::bit_cast<std::uint64_t>(value);
    if (!f.known || bits != f.bits) {
        f.text.clear();
        appendFixedWide(f.text, value, f.attribute.valueWidth, f.attribute.decimals);
        f.bits = bits;
        f.known = true;
    }
    return f.text;
}

void appendInteger(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

}  // namespace vk
