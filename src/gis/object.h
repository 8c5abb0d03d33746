// The geometry object that travels through the GIS layer writer. A run has one, the shared
// object of its GisState (gisO_ in the design), which the driver fills with one object (kind,
// vertices, parts, attribute line) before calling gisWriteObject and gisWriteRecord.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vk {

// What an object is. Every switch over it names each kind (no default), so that a kind added here
// is a compile error wherever it is not yet handled.
enum class GisKind {
    Unset,          // no kind chosen since gisInitialiseObject: writing it is a program fault
    None,           // an attribute record without geometry (a null shape)
    Point,          // vertex 1
    Line,           // vertices 1 and 2
    Pline,          // n vertices, one part
    PlineMultiple,  // n vertices in nr parts
    Region,         // n vertices in nr rings
    Text,           // the attribute line as the text, its box from vertices 2 and 3
    MultiPoint,     // n vertices
};

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
    std::string attributes; // the attribute line, in MID syntax

    // Make room for at least `count` vertices / parts (the arrays only grow).
    void reserveVertices(std::size_t count);
    void reserveParts(std::size_t count);
};

}  // namespace vk
