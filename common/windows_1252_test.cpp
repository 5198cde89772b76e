#include "common/windows_1252.h"

#include <gtest/gtest.h>

TEST(Windows1252Test, EncodesWhatTheCodePageHoldsAndRefusesTheRest) {
  const struct {
    const char* what;
    std::string utf8;
    std::optional<std::string> bytes;
  } cases[] = {
      {"ASCII as it is", "Viterbo_Attigliano", std::string("Viterbo_Attigliano")},
      {"Latin-1 letters", "Citt\xC3\xA0_\xC3\x80lta", std::string("Citt\xE0_\xC0lta")},
      {"the euro sign and the caron letters of 0x80-0x9F", "\xE2\x82\xAC \xC5\xA0\xC5\xBD",
       std::string("\x80 \x8A\x8E")},
      {"a letter outside the code page", "\xD0\x9F", std::nullopt},
      {"a C1 control that Windows-1252 leaves undefined", "\xC2\x81", std::nullopt},
      {"a character outside the basic plane", "\xF0\x9F\x9A\x82", std::nullopt},
      {"a Windows-1252 byte that is not UTF-8", "Citt\xE0", std::nullopt},
      {"an overlong form", "\xC0\xAF", std::nullopt},
      {"a cut sequence", "a\xC3", std::nullopt},
      {"an encoded surrogate", "\xED\xA0\x80", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(windows_1252_from_utf8(c.utf8), c.bytes);
    if (c.bytes) {
      EXPECT_EQ(utf8_from_windows_1252(*c.bytes), c.utf8);
    }
  }
}

TEST(Windows1252Test, EveryDefinedByteGoesThereAndBack) {
  for (int b = 1; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string utf8 = utf8_from_windows_1252(byte);
    if (utf8 == "\xEF\xBF\xBD") continue;  // one of the five undefined bytes
    EXPECT_EQ(windows_1252_from_utf8(utf8), byte) << b;
  }
}

// What a terminal is given: control characters as their pictures, one character for each byte,
// everything else as the plain conversion gives it.
TEST(Windows1252Test, PrintableTextShowsControlCharactersAsTheirPictures) {
  const struct {
    std::string bytes;
    std::string shown;
  } cases[] = {
      {"Cippo Km.", "Cippo Km."},       {std::string("a\0b", 3), "a\u2400b"},
      {"\x1b[31mred", "\u241b[31mred"}, {"tab\tkept\x7f", "tab\tkept\u2421"},
      {"\r\n", "\u240d\u240a"},         {"Citt\xe0 \x80", "Citt\u00e0 \u20ac"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(printable_utf8_from_windows_1252(c.bytes), c.shown) << c.bytes;
  }
}
