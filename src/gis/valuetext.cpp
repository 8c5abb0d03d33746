#include "gis/valuetext.h"

#include <charconv>

#include "text/fixedpoint.h"
#include "text/strings.h"

namespace vk {

void ValueTexts::setSchema(const GisSchema& schema) {
    fields_.clear();
    for (int k = 0; k < schema.fieldCount && k < GisSchema::kMaxFields; ++k)
        fields_.emplace_back().attribute = schema.fields[static_cast<std::size_t>(k)];
}

std::string_view ValueTexts::formatReal(Field& f, double value) {
    f.text.clear();
    appendFixedWide(f.text, value, f.attribute.valueWidth, f.attribute.decimals);
    f.bits = std::bit_cast<std::uint64_t>(value);
    f.known = true;
    return f.text;
}

std::string_view ValueTexts::quote(Field& f, std::string_view text) {
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

std::string_view ValueTexts::integer(std::size_t k, std::int64_t value) {
    Field& f = fields_[k];
    f.known = false;  // the text is no real's any more
    f.text.clear();
    appendInteger(f.text, value);
    return f.text;
}

void appendInteger(std::string& out, std::int64_t value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

}  // namespace vk
