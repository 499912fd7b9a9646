#pragma once
// The gauge keeps its material names in the Windows-1251 code page. The simulated gauge is
// plain C++, so it carries the small part of that code page it needs: ASCII, the Russian
// alphabet (А..я, Ё, ё) and a few signs a person may type into a name (°, №, «, », dashes).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quilex::sim {

// UTF-8 text to Windows-1251 bytes. Empty result when the text is not valid UTF-8 or holds a
// character outside the table above; `badOffset` (when given) receives the byte offset of the
// first such character.
std::optional<std::string> utf8ToCp1251(std::string_view utf8, std::size_t* badOffset = nullptr);

// Windows-1251 bytes to UTF-8. Bytes outside the table become U+FFFD.
std::string cp1251ToUtf8(std::string_view bytes);

// Number of characters (code points) of valid UTF-8 text.
std::size_t utf8Length(std::string_view utf8);

// Decodes one UTF-8 character at `text[pos]`; returns its length (0 when malformed:
// truncated, overlong, surrogate, above U+10FFFF).
std::size_t decodeUtf8(std::string_view text, std::size_t pos, char32_t& out);

} // namespace quilex::sim
