// Conversions between the library's single-byte text, the program's
// character buffers and UTF-8 (the program's text everywhere else).
#pragma once

#include <string>
#include <string_view>

#include "contract/library_text.h"

namespace kavr {

// Bytes in the system's 8-bit code page to characters, one per byte. Never
// fails: a byte the code page does not define becomes U+FFFD, on Windows too
// (whose own conversion would give a C1 control character, U+0081 for 0x81).
// Linux, which has no such code page, uses the Western European one.
LibraryText DecodeCodePage(std::string_view bytes);

// Characters to bytes in the system's 8-bit code page, one per character.
// A character the code page cannot hold, or a C1 control character, becomes
// '?'.
std::string EncodeCodePage(std::u32string_view text);

// Characters to UTF-8. Values that are not characters become U+FFFD.
std::string ToUtf8(std::u32string_view text);

// UTF-8 to characters. A malformed or overlong sequence, or one that
// encodes no character, becomes one U+FFFD per offending byte.
std::u32string FromUtf8(std::string_view text);

// The text as a screen may draw it: no control character is ever drawn.
// Characters of code 0 (a library that writes a short serial leaves them in
// its slot) are dropped; every other control character (C0, DEL and C1)
// becomes U+FFFD, so that the user still sees that something was there;
// carriage returns and line feeds stay where `keepLineBreaks` asks for them.
std::u32string Drawable(std::u32string_view text, bool keepLineBreaks);
// The same for UTF-8 text.
std::string DrawableUtf8(std::string_view utf8, bool keepLineBreaks);

// The text up to its first character of code 0 (all of it when there is none).
std::u32string_view UpToFirstNul(std::u32string_view text);

}  // namespace kavr
