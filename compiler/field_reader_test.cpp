#include "compiler/field_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "compiler/checked_math.h"

namespace {

// One read in a script: 't' text, 'i' 32-bit, 's' 16-bit, 'b' 8-bit; what it gives; and whether
// the end of the file has been reached after it.
struct Read {
  char type;
  std::string value;
  bool eof;
};

std::string perform(FieldReader* reader, char type) {
  switch (type) {
    case 't':
      return reader->read_text();
    case 'i':
      return std::to_string(reader->read_i32("i"));
    case 's':
      return std::to_string(reader->read_i16("s"));
    default:
      return std::to_string(reader->read_u8("b"));
  }
}

}  // namespace

TEST(FieldReaderTest, ReadsFieldsAsTheSourcesAreWritten) {
  const struct {
    const char* what;
    std::string text;
    std::vector<Read> reads;
  } cases[] = {
      {"comma and blanks between fields",
       "pendenza,  5000,   -5\r\n[fine]\r\n",
       {{'t', "pendenza", false}, {'i', "5000", false}, {'i', "-5", false}, {'t', "[fine]", true}}},
      {"numbers separated by blanks alone, trailing blank",
       "orologio,    13              10            45 \r\n[aderenze]\r\n",
       {{'t', "orologio", false},
        {'s', "13", false},
        {'s', "10", false},
        {'s', "45", false},
        {'t', "[aderenze]", true}}},
      {"blanks before a comma after a number",
       "ripetizione segnali 4 codici,    0    ,0\r\nx\r\n",
       {{'t', "ripetizione segnali 4 codici", false},
        {'i', "0", false},
        {'i', "0", false},
        {'t', "x", true}}},
      {"empty numeric fields read as 0",
       "indicatori_vmax,  500,  ,  ,9\r\nz",
       {{'t', "indicatori_vmax", false},
        {'i', "500", false},
        {'i', "0", false},
        {'i', "0", false},
        {'i', "9", false},
        {'t', "z", true}}},
      {"text keeps inner blanks and drops trailing ones",
       "cartello_indicatore,  2100,   (Cippo Km.)( 37+000  )   \r\n[fine]",
       {{'t', "cartello_indicatore", false},
        {'i', "2100", false},
        {'t', "(Cippo Km.)( 37+000  )", false},
        {'t', "[fine]", true}}},
      {"text runs to the line end, blanks and dots inside",
       "0, VITERBO P. F.\r\n[x]\r\n",
       {{'i', "0", false}, {'t', "VITERBO P. F.", false}, {'t', "[x]", true}}},
      {"lone LF and lone CR end lines too",
       "a\nb\rc\r\nd",
       {{'t', "a", false}, {'t', "b", false}, {'t', "c", false}, {'t', "d", true}}},
      {"an empty line is an empty field",
       "a\r\n\r\nb\r\n",
       {{'t', "a", false}, {'t', "", false}, {'t', "b", true}}},
      {"the last field sets the end of file even with blank lines after it",
       "a,b\r\n\r\n  \r\n",
       {{'t', "a", false}, {'t', "b", true}}},
      {"a quoted text keeps commas and blanks; what follows the quote is dropped",
       "\" a, b \"xyz,c\r\nd",
       {{'t', " a, b ", false}, {'t', "c", false}, {'t', "d", true}}},
      {"an unclosed quote runs to the line end",
       "\"a, b\r\nc\r\nd",
       {{'t', "a, b", false}, {'t', "c", false}, {'t', "d", true}}},
      {"a quoted number",
       "\" 42 \",7\r\nx",
       {{'i', "42", false}, {'i', "7", false}, {'t', "x", true}}},
      {"signs and fractions, halves to even",
       "+5,-0,2.5,3.5,-2.5,7.\r\nx",
       {{'i', "5", false},
        {'i', "0", false},
        {'i', "2", false},
        {'i', "4", false},
        {'i', "-2", false},
        {'i', "7", false},
        {'t', "x", true}}},
      {"fractions are decided by their digits, not by a sum in floating point",
       "77.49999999999999999999,3.4999999999999997,0.50000000000000000001,-0.5,1.5000,2.50,"
       "-1.5,0.4,9.9\r\nx",
       {{'i', "77", false},
        {'i', "3", false},
        {'i', "1", false},
        {'i', "0", false},
        {'i', "2", false},
        {'i', "2", false},
        {'i', "-2", false},
        {'i', "0", false},
        {'i', "10", false},
        {'t', "x", true}}},
      {"a text read of a blank-separated pair takes both",
       "13  10,x\r\ny",
       {{'t', "13  10", false}, {'t', "x", false}, {'t', "y", true}}},
      {"target ranges at their limits",
       "255,-32768,32767,-2147483648,2147483647,0\r\nx",
       {{'b', "255", false},
        {'s', "-32768", false},
        {'s', "32767", false},
        {'i', "-2147483648", false},
        {'i', "2147483647", false},
        {'b', "0", false},
        {'t', "x", true}}},
      {"a single field is the last one at once", "[generale]", {{'t', "[generale]", true}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FieldReader reader(c.text);
    for (size_t k = 0; k < c.reads.size(); ++k) {
      EXPECT_EQ(perform(&reader, c.reads[k].type), c.reads[k].value) << "read " << k + 1;
      EXPECT_EQ(reader.eof(), c.reads[k].eof) << "read " << k + 1;
    }
  }
}

TEST(FieldReaderTest, RunTimeFailures) {
  const struct {
    const char* what;
    std::string text;
    std::string reads;  // reads before the failing one, then the failing one
  } cases[] = {
      {"a name where a number is expected", "VITERBO P. F.,1", "i"},
      {"digits followed by letters", "12ab,1", "i"},
      {"a lone sign", "-,1", "i"},
      {"8-bit target above 255", "256,1", "b"},
      {"8-bit target below 0", "-1,1", "b"},
      {"16-bit target above 32767", "32768,1", "s"},
      {"32-bit target above its range", "2147483648,1", "i"},
      {"a huge number of digits", "99999999999999999999999,1", "i"},
      {"a read after the last field", "a,b", "ttt"},
      {"a read in an empty file", "", "t"},
      {"a read in a file of blank lines", "  \r\n\r\n", "i"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FieldReader reader(c.text);
    for (size_t k = 0; k + 1 < c.reads.size(); ++k) perform(&reader, c.reads[k]);
    EXPECT_THROW(perform(&reader, c.reads.back()), RunTimeFailure);
  }
}

TEST(FieldReaderTest, KnowsWhereEachFieldBegins) {
  FieldReader reader("ab,   cd\r\n  7 8");
  const struct {
    char type;
    size_t offset;
  } reads[] = {{'t', 0}, {'t', 6}, {'i', 12}, {'i', 14}};
  for (const auto& r : reads) {
    perform(&reader, r.type);
    EXPECT_EQ(reader.field_offset(), r.offset);
  }
}
