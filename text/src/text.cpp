#include "text/text.h"

#include <array>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kavr {
namespace {

constexpr char32_t kReplacement = U'\uFFFD';

// The C1 control characters are text in no 8-bit Windows code page. Where a
// code page leaves a byte undefined (0x81, 0x8D, 0x8F, 0x90 and 0x9D in the
// Western European one), Windows' own conversion hands back the C1 character
// of the same number; here such a byte becomes U+FFFD on every system, and
// no C1 character is ever written back as a byte.
constexpr bool IsC1Control(char32_t c) { return c >= 0x80 && c <= 0x9F; }

#ifndef _WIN32
// Linux has no system 8-bit code page; the Western European one serves,
// as it is what the controllers' texts are written in.
// Bytes 0x80 to 0x9F; 0 marks the five bytes it leaves undefined.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t DecodeByte(unsigned char byte) {
  if (byte < 0x80 || byte >= 0xA0) return byte;
  char32_t mapped = kWindows1252High[byte - 0x80];
  return mapped == 0 ? kReplacement : mapped;
}

char EncodeChar(char32_t c) {
  if (c <= 0xFF && !IsC1Control(c)) return static_cast<char>(c);
  for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
    if (kWindows1252High[i] != 0 && kWindows1252High[i] == c) return static_cast<char>(0x80 + i);
  }
  return '?';
}
#endif

}  // namespace

LibraryText DecodeCodePage(std::string_view bytes) {
  LibraryText text;
  text.reserve(bytes.size());
#ifdef _WIN32
  // One byte at a time keeps one character per byte, whatever the code page.
  for (char byte : bytes) {
    wchar_t wide = 0;
    int converted = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &byte, 1, &wide, 1);
    const bool defined = converted == 1 && !IsC1Control(wide);
    text.push_back(defined ? static_cast<char32_t>(wide) : kReplacement);
  }
#else
  for (char byte : bytes) text.push_back(DecodeByte(static_cast<unsigned char>(byte)));
#endif
  return text;
}

std::string EncodeCodePage(std::u32string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
#ifdef _WIN32
  for (char32_t c : text) {
    char byte = '?';
    if (c <= 0xFFFF && !IsC1Control(c)) {
      wchar_t wide = static_cast<wchar_t>(c);
      BOOL lossy = FALSE;
      // No "best fit" either: a character the code page lacks is lost
      // ('?'), not swapped for a look-alike.
      int converted = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, &byte, 1, nullptr, &lossy);
      if (converted != 1 || lossy) byte = '?';
    }
    bytes.push_back(byte);
  }
#else
  for (char32_t c : text) bytes.push_back(EncodeChar(c));
#endif
  return bytes;
}

std::string ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::u32string FromUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t c = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
      length = 1;
      c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      c = lead & 0x1F;
      smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      c = lead & 0x0F;
      smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      c = lead & 0x07;
      smallest = 0x10000;
    }
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (next & 0x3F);
    }
    if (valid && (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) valid = false;
    if (valid) {
      out.push_back(c);
      i += length;
    } else {
      out.push_back(kReplacement);
      ++i;
    }
  }
  return out;
}

std::u32string Drawable(std::u32string_view text, bool keepLineBreaks) {
  std::u32string drawn;
  drawn.reserve(text.size());
  for (char32_t c : text) {
    const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
    if (c == U'\0') continue;
    if (control && !(keepLineBreaks && (c == U'\r' || c == U'\n'))) c = U'\uFFFD';
    drawn.push_back(c);
  }
  return drawn;
}

std::string DrawableUtf8(std::string_view utf8, bool keepLineBreaks) {
  return ToUtf8(Drawable(FromUtf8(utf8), keepLineBreaks));
}

std::u32string_view UpToFirstNul(std::u32string_view text) {
  std::size_t end = text.find(U'\0');
  return end == std::u32string_view::npos ? text : text.substr(0, end);
}

}  // namespace kavr
