#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "text/text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using kavr::DecodeCodePage;
using kavr::EncodeCodePage;
using kavr::FromUtf8;
using kavr::ToUtf8;

constexpr char32_t kReplacement = U'\uFFFD';

bool Undefined(unsigned byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

// The Western European code page, which Linux always uses and Windows uses
// where the system is set up for it.
class CodePage : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    if (GetACP() != 1252) GTEST_SKIP() << "the system code page is " << GetACP();
#endif
  }
};

TEST_F(CodePage, EveryDefinedByteRoundTripsAndUndefinedOnesBecomeReplacements) {
  for (unsigned byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    const std::u32string text = DecodeCodePage(one);
    ASSERT_EQ(text.size(), 1u) << byte;
    if (Undefined(byte)) {
      EXPECT_EQ(text[0], kReplacement) << byte;
    } else {
      EXPECT_NE(text[0], kReplacement) << byte;
      EXPECT_EQ(EncodeCodePage(text), one) << byte;
    }
  }
}

TEST_F(CodePage, KnownCharacters) {
  EXPECT_EQ(DecodeCodePage("\x80\xB0\xE9"), U"\u20AC\u00B0\u00E9");
  // Characters the code page cannot hold (none swapped for a look-alike:
  // U+0100 is no 'A'), the replacement character and the C1 control
  // characters included.
  EXPECT_EQ(EncodeCodePage(U"a\u0100\u4E2D\U0001F600\uFFFD\u0081\u009Fb"), "a??????b");
  // A library buffer is taken at its full length, zeros inside included.
  EXPECT_EQ(DecodeCodePage(std::string("1\0\x80", 3)), std::u32string(U"1\0\u20AC", 3));
}

TEST(Utf8, DecodesValidTextAndReplacesEachBadByte) {
  const std::pair<std::string, std::u32string> cases[] = {
      {"", U""},
      {"plain", U"plain"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", U"\u00E9\u20AC\U0001F600"},
      {"a\x80z", U"a\uFFFDz"},                            // lone continuation byte
      {"a\xE2\x82", U"a\uFFFD\uFFFD"},                    // cut short at the end
      {"\xC0\xAF", U"\uFFFD\uFFFD"},                      // overlong
      {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},            // surrogate
      {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xFF", U"\uFFFD"},
  };
  for (const auto& [utf8, text] : cases) EXPECT_EQ(FromUtf8(utf8), text) << utf8;
  EXPECT_EQ(ToUtf8(FromUtf8("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC")), "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC");
}

}  // namespace
