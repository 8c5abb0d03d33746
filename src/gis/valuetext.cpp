#include "gis/valuetext.h"

#include <bit>
#include <charconv>

#include "text/fixedpoint.h"
#include "text/strings.h"

namespace vk {

void ValueTexts::setSchema(const GisSchema& schema) {
    fields_.clear();
    for (int k = 0; k < schema.fieldCount && k < GisSchema::kMaxFields; ++k)
        fields_.emplace_back().attribute = schema.fields[static_cast<std::size_t>(k)];
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

std::string_view ValueTexts::quoted(std::size_t k, std::string_view text) {
    Field& f = fields_[k];
    if (f.quotedKnown && text == f.raw) return f.quoted;
    f.raw.assign(text);
    f.quotedKnown = true;
    std::string_view rest = trimRight(text);
    if (f.attribute.bare) {
        f.quoted.assign(rest);
        return f.quoted;
    }
    f.quoted.assign(1, '"');
    for (std::size_t q; (q = rest.find('"')) != std::string_view::npos; rest.remove_prefix(q + 1))
        f.quoted.append(rest.substr(0, q + 1)).push_back('"');
    f.quoted.append(rest).push_back('"');
    return f.quoted;
}

void appendInteger(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

}  // namespace vk
