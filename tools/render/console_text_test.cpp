#include "tools/render/console_text.h"

#include <gtest/gtest.h>

namespace {

using console_text::kBlue;
using console_text::kGreen;
using console_text::kIntense;
using console_text::kRed;

// A console's usual grey on blue: the background stays whatever the colour does.
constexpr uint16_t kGrey = kRed | kGreen | kBlue;
constexpr uint16_t kOnBlue = 0x10;
constexpr uint16_t kOriginal = kGrey | kOnBlue;

TEST(ConsoleText, ColourSequencesBecomeAttributes) {
  const struct {
    const char* params;
    uint16_t current;
    uint16_t expected;
  } cases[] = {
      {"1", kOriginal, kOriginal | kIntense},                    // the file name, bold
      {"1;31", kOriginal, kOnBlue | kRed | kIntense},            // error
      {"1;35", kOriginal, kOnBlue | kRed | kBlue | kIntense},    // warning
      {"1;32", kOriginal, kOnBlue | kGreen | kIntense},          // the caret
      {"1;36", kOriginal, kOnBlue | kGreen | kBlue | kIntense},  // note
      {"0", kOnBlue | kRed | kIntense, kOriginal},               // reset
      {"", kOnBlue | kRed | kIntense, kOriginal},                // reset, no number
      {"22", kOnBlue | kRed | kIntense, kOnBlue | kRed},
      {"39", kOnBlue | kRed | kIntense, kOriginal | kIntense},
      {"31;0", kOriginal, kOriginal},
      {"4;7;99999", kOriginal, kOriginal},  // underline, reverse, nonsense: ignored
  };
  for (const auto& c : cases) {
    EXPECT_EQ(console_text::attributes_after(c.params, c.current, kOriginal), c.expected)
        << c.params;
  }
}

TEST(ConsoleText, SplitsPlainTextFromColourSequences) {
  const struct {
    const char* text;
    std::vector<console_text::Piece> expected;
  } cases[] = {
      {"plain \xC3\xA0\n", {{false, "plain \xC3\xA0\n"}}},
      {"\033[1;31merror:\033[0m x\n",
       {{true, "1;31"}, {false, "error:"}, {true, "0"}, {false, " x\n"}}},
      {"a\033[mb", {{false, "a"}, {true, ""}, {false, "b"}}},
      // Not colour sequences: left as they are.
      {"a\033b\033[1", {{false, "a\033b\033[1"}}},
      {"\033[2Jx\033[1mY", {{false, "\033[2Jx"}, {true, "1"}, {false, "Y"}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    const std::vector<console_text::Piece> pieces = console_text::split_colour(c.text);
    ASSERT_EQ(pieces.size(), c.expected.size()) << c.text;
    for (size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_EQ(pieces[i].colour, c.expected[i].colour) << c.text << " piece " << i;
      EXPECT_EQ(pieces[i].text, c.expected[i].text) << c.text << " piece " << i;
    }
  }
}

TEST(ConsoleText, PiecesNeverCutACharacter) {
  const std::string a_grave = "\xC3\xA0", euro = "\xE2\x82\xAC", face = "\xF0\x9F\x98\x80";
  const struct {
    std::string text;
    size_t start, most, expected;
  } cases[] = {
      {"abcdef", 0, 4, 4},
      {"abc", 0, 4, 3},                       // all of it fits
      {"abc" + a_grave, 0, 4, 3},             // à would be cut after its first byte
      {"ab" + a_grave + "c", 0, 4, 4},        // à fits whole
      {"a" + euro + "x", 0, 3, 1},            // € would be cut
      {"a" + face + "x", 0, 4, 1},            // a four-byte character
      {face + face, 4, 4, 8},                 // from the middle of the text
      {"\x80\x80\x80\x80\x80\x80", 0, 4, 4},  // not UTF-8: cut anywhere
  };
  for (const auto& c : cases) {
    EXPECT_EQ(console_text::piece_end(c.text, c.start, c.most), c.expected) << c.text;
  }
}

}  // namespace
