#include "text/fixedpoint.h"

#include <charconv>
#include <system_error>

namespace vk {

namespace {

// Largest fixed-point text of a double: sign, 309 integer digits, the point and the decimals.
constexpr int kMaxIntegerChars = 311;
constexpr int kStackDecimals = 64;

// Appends the value's fixed-point text, padded on the left to `width`; when the text is wider
// than `width` it is appended whole (wide) or replaced by `width` asterisks.
void appendFormatted(std::string& out, double value, int width, int decimals, bool wide) {
    if (decimals < 0) decimals = 0;
    char stackBuffer[kMaxIntegerChars + kStackDecimals + 1];
    std::string heapBuffer; // only for more decimals than any field of the system has
    char* first = stackBuffer;
    char* last = stackBuffer + sizeof stackBuffer;
    if (decimals > kStackDecimals) {
        heapBuffer.resize(static_cast<std::size_t>(kMaxIntegerChars + decimals + 1));
        first = heapBuffer.data();
        last = first + heapBuffer.size();
    }
    const auto result = std::to_chars(first, last, value, std::chars_format::fixed, decimals);
    const std::string_view text(first, static_cast<std::size_t>(result.ptr - first));
    const auto length = static_cast<int>(text.size());
    if (width > 0 && length > width && !wide) {
        out.append(static_cast<std::size_t>(width), '*');
        return;
    }
    if (length < width) out.append(static_cast<std::size_t>(width - length), ' ');
    out.append(text);
}

} // namespace

void appendFixed(std::string& out, double value, int width, int decimals) {
    appendFormatted(out, value, width, decimals, false);
}

std::string formatFixed(double value, int width, int decimals) {
    std::string out;
    appendFixed(out, value, width, decimals);
    return out;
}

void appendFixedWide(std::string& out, double value, int width, int decimals) {
    appendFormatted(out, value, width, decimals, true);
}

std::string formatFixedWide(double value, int width, int decimals) {
    std::string out;
    appendFixedWide(out, value, width, decimals);
    return out;
}

std::string formatInt(std::int64_t value, int width) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const auto length = static_cast<int>(text.size());
    if (width > 0 && length > width) return std::string(static_cast<std::size_t>(width), '*');
    std::string out;
    if (length < width) out.assign(static_cast<std::size_t>(width - length), ' ');
    out.append(text);
    return out;
}

} // namespace vk
