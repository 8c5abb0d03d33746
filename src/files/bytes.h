// The one byte encoder of the binary files: a number's bytes stored at, or loaded from, a place in
// memory in an explicit byte order, whatever the machine's own.
//
//   char header[8];
//   char* at = store<std::endian::big>(header, std::int32_t{9994});  // 00 00 27 0A
//   store<std::endian::little>(at, std::int32_t{1000});              // E8 03 00 00
//   const auto code = load<std::endian::big, std::int32_t>(header);  // 9994
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace vk {

namespace bytes_detail {

// The unsigned integer of a value's width, which the shifts below work on.
template <class T> using Bits = std::conditional_t<
    sizeof(T) == 1, std::uint8_t,
    std::conditional_t<sizeof(T) == 2, std::uint16_t,
                       std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;

template <class T> constexpr bool kEncodable =
    (std::is_integral_v<T> || std::is_floating_point_v<T>) &&
    (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);

}  // namespace bytes_detail

// Stores the bytes of `value` at `at` in byte order Order; returns the end of the bytes.
template <std::endian Order, class T> char* store(char* at, T value) {
    static_assert(bytes_detail::kEncodable<T>, "integers and IEEE numbers of 1, 2, 4 or 8 bytes");
    using Bits = bytes_detail::Bits<T>;
    const auto bits = std::bit_cast<Bits>(value);
    if constexpr (Order == std::endian::native) {
        std::memcpy(at, &bits, sizeof bits);
    } else {
        for (std::size_t i = 0; i < sizeof bits; ++i) {
            const std::size_t place = Order == std::endian::little ? i : sizeof bits - 1 - i;
            at[place] = static_cast<char>((bits >> (8 * i)) & 0xFFu);
        }
    }
    return at + sizeof bits;
}

// The value of type T whose bytes stand at `at` in byte order Order.
template <std::endian Order, class T> T load(const char* at) {
    static_assert(bytes_detail::kEncodable<T>, "integers and IEEE numbers of 1, 2, 4 or 8 bytes");
    using Bits = bytes_detail::Bits<T>;
    Bits bits = 0;
    if constexpr (Order == std::endian::native) {
        std::memcpy(&bits, at, sizeof bits);
    } else {
        for (std::size_t i = 0; i < sizeof bits; ++i) {
            const std::size_t place = Order == std::endian::little ? i : sizeof bits - 1 - i;
            bits |= static_cast<Bits>(static_cast<Bits>(static_cast<unsigned char>(at[place]))
                                      << (8 * i));
        }
    }
    return std::bit_cast<T>(bits);
}

}  // namespace vk
