#include "text/webtext.h"
#include "text/encoding.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

std::string html(std::string_view text) {
    std::string out;
    vk::appendHtmlText(out, text);
    return out;
}

std::string attribute(std::string_view text) {
    std::string out;
    vk::appendHtmlAttribute(out, text);
    return out;
}

std::string json(std::string_view text) {
    std::string out;
    vk::appendJsonString(out, text);
    return out;
}

// The same text as the page shows it in each of the three places.
TEST(WebText, EveryTextIsEscapedForWhereItStands) {
    const struct {
        std::string text, html, json;
        std::string utf8 = "";  // as toUtf8 gives it; empty: the text itself
    } cases[] = {
        {"Alder Creek", "Alder Creek", R"("Alder Creek")"},
        {"</script><script>alert(1)</script>",
         "&lt;/script&gt;&lt;script&gt;alert(1)&lt;/script&gt;",
         R"("\u003c/script\u003e\u003cscript\u003ealert(1)\u003c/script\u003e")"},
        {"<!-- a & b -->", "&lt;!-- a &amp; b --&gt;", R"("\u003c!-- a \u0026 b --\u003e")"},
        {R"(say "x" 'y' \z)", "say &quot;x&quot; &#39;y&#39; \\z", R"("say \"x\" 'y' \\z")"},
        {"tab\there", "tab\there", R"("tab\there")"},
        {"bell\x07 cr\r lf\n", "bell&#xfffd; cr&#xfffd; lf&#xfffd;",
         R"("bell\u0007 cr\u000d lf\n")"},
        // UTF-8 as such; a byte that is no part of UTF-8 as Windows-1252.
        {"Stra\xC3\x9F"
         "e",
         "Stra&#xdf;e", R"("Stra\u00dfe")"},
        {"Stra\xDF"
         "e",
         "Stra&#xdf;e", R"("Stra\u00dfe")", "Stra\xC3\x9F"
                                              "e"},
        {"EL \xD1ILHUE", "EL &#xd1;ILHUE", R"("EL \u00d1ILHUE")", "EL \xC3\x91ILHUE"},
        // The page shows the bytes 1252 leaves undefined as U+FFFD; UTF-8 keeps their value.
        {"\x80 \x81", "&#x20ac; &#xfffd;", R"("\u20ac \ufffd")", "\xE2\x82\xAC \xC2\x81"},
        {"\x8D\x8F\x90\x9D", "&#xfffd;&#xfffd;&#xfffd;&#xfffd;",
         R"("\ufffd\ufffd\ufffd\ufffd")", "\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
        {"\x93q\x94 \x9F", "&#x201c;q&#x201d; &#x178;", R"("\u201cq\u201d \u0178")",
         "\xE2\x80\x9Cq\xE2\x80\x9D \xC5\xB8"},
        {"\xF0\x9F\x8C\x8A", "&#x1f30a;", R"("\ud83c\udf0a")"},
        {"\xD0\xAF\xE6\xB2\xB3", "&#x42f;&#x6cb3;", R"("\u042f\u6cb3")"},
        // Cut short, overlong or surrogate forms are not UTF-8: byte by byte.
        {"x\xC3", "x&#xc3;", R"("x\u00c3")", "x\xC3\x83"},
        {"\xE6\xB2", "&#xe6;&#xb2;", R"("\u00e6\u00b2")", "\xC3\xA6\xC2\xB2"},
        {"\xF0\x9F\x8C!", "&#xf0;&#x178;&#x152;!", R"("\u00f0\u0178\u0152!")",
         "\xC3\xB0\xC5\xB8\xC5\x92!"},
        {"\xC0\xAF", "&#xc0;&#xaf;", R"("\u00c0\u00af")", "\xC3\x80\xC2\xAF"},
        {"\xE0\x80\xAF", "&#xe0;&#x20ac;&#xaf;", R"("\u00e0\u20ac\u00af")",
         "\xC3\xA0\xE2\x82\xAC\xC2\xAF"},
        {"\xED\xA0\x80", "&#xed;&#xa0;&#x20ac;", R"("\u00ed\u00a0\u20ac")",
         "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        // Beyond U+10FFFF, and a continuation byte with no lead.
        {"\xF4\x90\x80\x80", "&#xf4;&#xfffd;&#x20ac;&#x20ac;", R"("\u00f4\ufffd\u20ac\u20ac")",
         "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
        {"\xA9x", "&#xa9;x", R"("\u00a9x")", "\xC2\xA9x"},
        {""s, "", R"("")"},
        {"a\0b"s, "a&#xfffd;b", R"("a\u0000b")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(html(c.text), c.html);
        EXPECT_EQ(attribute(c.text), c.html);
        EXPECT_EQ(json(c.text), c.json);
        EXPECT_EQ(vk::toUtf8(c.text), c.utf8.empty() ? c.text : c.utf8);
        EXPECT_EQ(vk::isUtf8(c.text), c.utf8.empty());
        // Nothing that could close an element or start markup gets through, and the page is ASCII.
        for (const std::string& out : {html(c.text), json(c.text)}) {
            EXPECT_EQ(out.find('<'), std::string::npos);
            for (const char ch : out)
                EXPECT_LT(static_cast<unsigned char>(ch), 0x80u);
        }
    }
}

TEST(WebText, Sha256DigestInBase64) {
    EXPECT_EQ(vk::sha256Base64(""), "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=");
    EXPECT_EQ(vk::sha256Base64("abc"), "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=");
    // 56 bytes: the length goes into a block of its own.
    EXPECT_EQ(vk::sha256Base64("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "JI1qYdIGOLjlwCaTDD5gOaM85Flk/yFn9uzt1BnbBsE=");
    EXPECT_EQ(vk::sha256Base64(std::string(1000, 'a')),
              "Qe3s5C1j6Nm/UVqbppMuHCDLyfWl0TRkWttdsblzfqM=");
}

} // namespace
