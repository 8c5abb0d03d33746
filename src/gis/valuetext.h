// The text of attribute values in the formats that store them as text (a .mid line, a .dbf
// field), made from the typed values and the layer's schema.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gis/object.h"
#include "gis/schema.h"

namespace vk {

class ValueTexts {
public:
    // The fields of the layer; what was kept of an earlier schema goes.
    void setSchema(const GisSchema& schema);
    std::size_t fieldCount() const { return fields_.size(); }
    const GisAttribute& field(std::size_t k) const { return fields_[k].attribute; }

    // Field k's text of a real value: fixed point, right-aligned in the field's value width
    // (wider when the value needs it). The last value of each field is kept with its text, since
    // a field's value often repeats from record to record (the n value in force over the points
    // of a section); the text stays valid until the field's next value.
    std::string_view real(std::size_t k, double value) {
        Field& f = fields_[k];
        if (f.known && std::bit_cast<std::uint64_t>(value) == f.bits) return f.text;
        return formatReal(f, value);
    }
    // Field k's text of a text value in a .mid line: without trailing blanks, in double quotes
    // with each one inside doubled, unless the field is bare. The last text of each field is kept
    // with its quoted form, as a section's features repeat its IDs.
    std::string_view quoted(std::size_t k, std::string_view text) {
        Field& f = fields_[k];
        if (f.quotedKnown && text == f.raw) return f.quoted;
        return quote(f, text);
    }
    // Field k's text of an integer value, in decimal digits.
    std::string_view integer(std::size_t k, std::int64_t value);
    // Field k's text of any value as a .mid line holds it.
    std::string_view midText(std::size_t k, const GisValue& value) {
        switch (value.type) {
        case GisValue::Type::Text:
            return quoted(k, value.text);
        case GisValue::Type::Real:
            return real(k, value.real);
        case GisValue::Type::Missing:
            return quoted(k, "");
        case GisValue::Type::Integer:
            break;
        }
        return integer(k, value.integer);
    }

private:
    struct Field;
    static std::string_view formatReal(Field& f, double value);
    static std::string_view quote(Field& f, std::string_view text);

    struct Field {
        GisAttribute attribute;
        bool known = false;
        std::uint64_t bits = 0;
        std::string text;
        bool quotedKnown = false;
        std::string raw;
        std::string quoted;
    };
    std::vector<Field> fields_;
};

// Appends an integer in decimal digits.
void appendInteger(std::string& out, std::int64_t value);

}  // namespace vk
