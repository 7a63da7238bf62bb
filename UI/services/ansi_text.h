// Text at the window's edge. The library, the packed block and the settings
// file hold Windows-1252, one byte a character, as the system's files always
// have. The window's text is what its toolkit hands it: UTF-8 from Qt, the
// code page itself from the Windows program's ANSI controls, where the
// edge functions leave it as it is. File names go to the library as the
// window holds them, which is how the system's file calls take them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace plexmoor {

// The codec. The Windows-1252 bytes of UTF-8 text; nothing when a character
// has no byte there or the text is no UTF-8.
std::optional<std::string> Utf8ToWindows1252(std::string_view utf8);
// The UTF-8 of Windows-1252 bytes. The five bytes the code page leaves
// unassigned stand for the control characters of the same number, as on
// Windows, so every byte comes back as it went.
std::string Windows1252ToUtf8(std::string_view bytes);

// The window's text as the library and the block take it; nothing when a
// character has no byte in the code page.
std::optional<std::string> ToCodePage(std::string_view text);
// Bytes from the library or the block as the window's text.
std::string FromCodePage(std::string_view bytes);

// A line of a file this program or an earlier build of it wrote, as the
// window's text: an earlier build wrote UTF-8, so valid UTF-8 with
// characters beyond ASCII is taken as such, anything else as the code page.
std::string FromFileText(std::string_view bytes);
// The bytes to write for the window's text in such a file: the code page,
// or UTF-8 for text the code page cannot hold (FromFileText reads both).
std::string ToFileText(std::string_view text);

// Characters, not bytes, of the window's text.
std::size_t CharacterCount(std::string_view text);

} // namespace plexmoor
