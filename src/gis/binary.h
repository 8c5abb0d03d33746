// Byte encoding for the binary GIS formats: numbers appended to a byte buffer in an explicit byte
// order (through the one encoder, files/bytes.h).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "files/bytes.h"

namespace vk {

inline constexpr std::endian kLittle = std::endian::little;
inline constexpr std::endian kBig = std::endian::big;

// Appends the bytes of `value` to a byte buffer in byte order Order.
template <std::endian Order, class T> void append(std::string& out, T value) {
    char bytes[sizeof(T)];
    store<Order>(bytes, value);
    out.append(bytes, sizeof bytes);
}

}  // namespace vk
