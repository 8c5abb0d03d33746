#include "gis/object.h"

#include <algorithm>

namespace vk {


GisObject::GisObject() : ir(kInitialParts, 0), X(kInitialVertices, 0.0), Y(kInitialVertices, 0.0) {
    ir[0] = 1;
}

// The arrays grow at least geometrically, so a caller that asks for one more vertex at a time
// still copies each coordinate only a bounded number of times.
void GisObject::reserveVertices(std::size_t count) {
    const std::size_t have = std::min(X.size(), Y.size());
    if (count <= have) return;
    const std::size_t size = std::max(count, 2 * have);
    X.resize(size, 0.0);
    Y.resize(size, 0.0);
}

void GisObject::reserveParts(std::size_t count) {
    if (count <= ir.size()) return;
    ir.resize(std::max(count, 2 * ir.size()), 0);
}

bool hasParts(GisKind kind) {
    switch (kind) {
    case GisKind::Pline:
    case GisKind::Region:
        return true;
    case GisKind::Unset:
    case GisKind::None:
    case GisKind::Point:
        return false;
    }
    return false;
}

} // namespace vk
