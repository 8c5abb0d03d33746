// The feature that travels through the GIS layer writer: its geometry and its attribute values.
// Each producer keeps one of its own and fills it (kind, vertices, parts, values) before calling
// its layer's writeObject and writeRecord (gis/dataset.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vk {

// What an object is. Every switch over it names each kind (no default), so that a kind added here
// is a compile error wherever it is not yet handled.
enum class GisKind {
    Unset,          // no kind chosen yet: writing it is a program fault
    None,           // an attribute record without geometry (a null shape)
    Point,          // vertex 1
    Pline,          // n vertices, one part
    Region,         // n vertices in nr rings
};

// Whether objects of a kind are made of parts (lines and polygons): their vertices are counted by
// n, and they may carry heights.
bool hasParts(GisKind kind);

// One attribute value, typed; the writer of each format writes it as the layer's schema says for
// its field. A text is referred to, not copied: it must stay as it is until the record is written.
// Missing: a value the input does not give (NULL where the format has one, a blank .dbf field, an
// empty text in a .mid line).
struct GisValue {
    enum class Type { Text, Real, Integer, Missing };
    Type type = Type::Text;
    std::string_view text;
    double real = 0.0;
    std::int64_t integer = 0;
};

inline GisValue textValue(std::string_view text) { return {GisValue::Type::Text, text, 0.0, 0}; }
inline GisValue realValue(double value) { return {GisValue::Type::Real, {}, value, 0}; }
inline GisValue missingValue() { return {GisValue::Type::Missing, {}, 0.0, 0}; }

struct GisObject {
    static constexpr std::size_t kInitialVertices = 100000;
    static constexpr std::size_t kInitialParts = 10000;

    GisObject();

    GisKind kind = GisKind::Unset;

    int nr = 1;             // number of parts (rings)
    std::vector<int> ir;    // ir[i-1]: 1-based index of the first vertex of part i
    std::string typeName;   // the object's type as a word, used only in ERROR 0254
    int n = 0;              // vertex count
    std::vector<double> X;  // X[j-1], Y[j-1]: vertex j
    std::vector<double> Y;
    // Z[j-1]: the height of vertex j, in the formats that keep one (a Shapefile's PolyLineZ and
    // PolygonZ, a GeoPackage's Z), when it holds a value for each vertex; empty: none.
    std::vector<double> Z;
    std::vector<GisValue> values;  // one per field of the layer, in field order; fewer leave
                                   // the last fields empty
    // The producer's word that the first `repeated` values are those of the last record it wrote
    // to the same layer, unchanged (the IDs of a section, which each of its points repeats): a
    // writer may keep what it made of them. setValues makes it 0.
    std::size_t repeated = 0;

    void setValues(std::initializer_list<GisValue> list) {
        values.assign(list);
        repeated = 0;
    }

    bool hasZ() const { return n > 0 && Z.size() >= static_cast<std::size_t>(n); }

    // Make room for at least `count` vertices / parts (the arrays only grow).
    void reserveVertices(std::size_t count);
    void reserveParts(std::size_t count);
};

}  // namespace vk
