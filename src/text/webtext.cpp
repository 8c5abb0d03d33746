#include "text/webtext.h"

#include <array>
#include <cstdint>

#include "text/encoding.h"

namespace vk {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char kHex[] = "0123456789abcdef";

void appendHex4(std::string& out, unsigned value) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(value >> shift) & 0xF];
}

// A character of HTML text or of a quoted attribute.
void appendHtmlCharacter(std::string& out, char32_t c) {
    switch (c) {
    case '&':
        out += "&amp;";
        return;
    case '<':
        out += "&lt;";
        return;
    case '>':
        out += "&gt;";
        return;
    case '"':
        out += "&quot;";
        return;
    case '\'':
        out += "&#39;";
        return;
    default:
        break;
    }
    // Control characters (tabs aside) have no place in a page's text.
    if ((c < 0x20 && c != '\t') || (c >= 0x7F && c < 0xA0)) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    out += "&#x";
    char digits[8];
    int n = 0;
    for (char32_t v = c; v != 0; v >>= 4)
        digits[n++] = kHex[v & 0xF];
    while (n > 0)
        out += digits[--n];
    out += ';';
}

} // namespace

namespace detail {

char32_t decodeAt(std::string_view text, std::size_t at, std::size_t& length) {
    const char32_t c = decodeCharacter(text, at, length);
    // The five bytes Windows-1252 leaves undefined show as the replacement character.
    const bool undefined =
        length == 1 && (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D);
    return undefined ? kReplacement : c;
}

} // namespace detail

void appendHtmlText(std::string& out, std::string_view text) {
    forEachCodePoint(text, [&](char32_t c) { appendHtmlCharacter(out, c); });
}

void appendHtmlAttribute(std::string& out, std::string_view text) {
    // The same escapes serve a double- or single-quoted attribute value.
    appendHtmlText(out, text);
}

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    forEachCodePoint(text, [&](char32_t c) {
        switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\t':
            out += "\\t";
            return;
        // These three never stand as themselves inside a script element.
        case '<':
        case '>':
        case '&':
            appendHex4(out, static_cast<unsigned>(c));
            return;
        default:
            break;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c < 0x10000) {
            appendHex4(out, static_cast<unsigned>(c));
        } else {
            const char32_t v = c - 0x10000;
            appendHex4(out, static_cast<unsigned>(0xD800 + (v >> 10)));
            appendHex4(out, static_cast<unsigned>(0xDC00 + (v & 0x3FF)));
        }
    });
    out += '"';
}

std::string sha256Base64(std::string_view bytes) {
    static constexpr std::uint32_t kRound[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
        0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
        0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
        0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
        0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
        0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
        0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
        0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
        0xc67178f2};
    std::array<std::uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    const auto rotr = [](std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };

    // The message, a 1 bit, zeros, and its length in bits, in blocks of 64 bytes.
    std::string message(bytes);
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    message += '\x80';
    while (message.size() % 64 != 56)
        message += '\0';
    for (int shift = 56; shift >= 0; shift -= 8)
        message += static_cast<char>(bits >> shift);

    for (std::size_t block = 0; block < message.size(); block += 64) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i) {
            w[i] = 0;
            for (int j = 0; j < 4; ++j)
                w[i] = (w[i] << 8) | static_cast<unsigned char>(message[block + 4 * i + j]);
        }
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::array<std::uint32_t, 8> v = h;
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t s1 = rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25);
            const std::uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
            const std::uint32_t t1 = v[7] + s1 + choice + kRound[i] + w[i];
            const std::uint32_t s0 = rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22);
            const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
            for (int j = 7; j > 0; --j)
                v[j] = v[j - 1];
            v[4] += t1;
            v[0] = t1 + s0 + majority;
        }
        for (int j = 0; j < 8; ++j)
            h[j] += v[j];
    }

    unsigned char digest[33] = {};
    for (int j = 0; j < 8; ++j)
        for (int k = 0; k < 4; ++k)
            digest[4 * j + k] = static_cast<unsigned char>(h[j] >> (24 - 8 * k));
    static constexpr char kBase64[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (int i = 0; i < 33; i += 3) {
        const std::uint32_t group = (digest[i] << 16) | (digest[i + 1] << 8) | digest[i + 2];
        out += kBase64[(group >> 18) & 63];
        out += kBase64[(group >> 12) & 63];
        out += kBase64[(group >> 6) & 63];
        out += kBase64[group & 63];
    }
    out.back() = '='; // 32 bytes: the last group holds two bytes
    return out;
}

} // namespace vk
