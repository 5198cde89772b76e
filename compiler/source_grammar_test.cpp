#include "compiler/source_grammar.h"

#include <gtest/gtest.h>

#include <string>

#include "compiler/compiler_fixture.h"
#include "compiler/keywords.h"

namespace {

// Row `row` as an author writes it: its first spelling, a position of 1000 m and 100 for its
// other numbers, and a text when it takes one.
std::string written(const RowGrammar& row) {
  std::string text = std::string(row.spellings).substr(0, std::string(row.spellings).find('|'));
  for (int i = 0; i < row.numbers; ++i) text += i == 0 ? ", 1000" : ", 100";
  if (row.text) text += ", Testo";
  return text + "\r\n";
}

bool has_row(const Compilation& c, RowKind kind, int32_t position) {
  for (const SourceRow& row : c.rows) {
    if (row.kind == kind && row.position == position) return true;
  }
  return false;
}

}  // namespace

// The grammar says how many fields each row takes, and the tools count fields by it: the
// readers must take exactly as many, or every row after it would be read a field off. Each row
// is followed by one the reader must then find whole.
TEST(SourceGrammarTest, EachRowTakesTheFieldsTheGrammarGivesIt) {
  const std::string train = "[generale]\r\nvelocita, 0, 70\r\naderenza, 0, 100\r\n[fine]\r\n";
  for (const RowGrammar* row : rows_of(SourcePart::kGeneral)) {
    SCOPED_TRACE(written(*row));
    CompilerFixture f;
    f.options.keep_rows = true;
    f.compile("[generale]\r\n" + written(*row) + "lunghezza percorso, 50000\r\n[x]\r\n[fine]\r\n",
              train);
    EXPECT_EQ(f.compiled.log.error.code, 0);
    EXPECT_EQ(f.compiled.records.last_cell(), 1140);
  }
  for (const RowGrammar* row : rows_of(SourcePart::kFeatures)) {
    SCOPED_TRACE(written(*row));
    CompilerFixture f;
    f.options.keep_rows = true;
    f.compile(small_line_source(written(*row) + "pendenza, 5000, 7\r\n"), train);
    EXPECT_EQ(f.compiled.log.error.code, 0);
    EXPECT_TRUE(has_row(f.compiled, RowKind::kGradient, 5000));
  }
  for (const RowGrammar* row : rows_of(SourcePart::kTrain)) {
    SCOPED_TRACE(written(*row));
    CompilerFixture f;
    f.options.keep_rows = true;
    f.compile(small_line_source(""), "[generale]\r\n" + written(*row) +
                                         "velocita, 5000, 70\r\naderenza, 0, 100\r\n[fine]\r\n");
    EXPECT_EQ(f.compiled.log.error.code, 0);
    EXPECT_TRUE(has_row(f.compiled, RowKind::kSpeedLimit, 5000));
  }
}

// A field starts each row whose keywords it holds, in the letter case the row asks for.
TEST(SourceGrammarTest, KeywordTests) {
  const struct {
    const char* field;
    SourcePart part;
    const RowGrammar* first;  // the first row it starts, or null
  } cases[] = {
      {"PENDENZA", SourcePart::kFeatures, &grammar_of(RowId::kGradient)},
      {"cartello", SourcePart::kFeatures, nullptr},
      {"Cartello_Indicatore", SourcePart::kFeatures, &grammar_of(RowId::kSignboard)},
      {"Progressiva chilometrica uno", SourcePart::kGeneral, nullptr},
      {"progressiva chilometrica uno", SourcePart::kGeneral, &grammar_of(RowId::kChainage1)},
      {"progressiva tre uno", SourcePart::kGeneral, &grammar_of(RowId::kChainage3)},
      {"Lunghezza Percorso", SourcePart::kGeneral, &grammar_of(RowId::kRouteLength)},
      {"percentuale massa frenata", SourcePart::kTrain, &grammar_of(RowId::kBrakedMass)},
      {"frenata", SourcePart::kTrain, nullptr},
      {"Velocità", SourcePart::kTrain, &grammar_of(RowId::kSpeedLimit)},
  };
  std::string lowered;
  for (const auto& c : cases) {
    EXPECT_EQ(row_started_by(c.part, c.field), c.first) << c.field;
    // The walker lowers a field once and searches that for every row: the same answers.
    lower_ascii_into(c.field, &lowered);
    for (const RowGrammar* row : rows_of(c.part)) {
      EXPECT_EQ(row->matches(c.field, lowered), row->matches(c.field))
          << c.field << " / " << row->keyword;
    }
  }
}

// The walker's search of a lowered field finds only keywords written in small letters.
TEST(SourceGrammarTest, KeywordsMatchedInAnyCaseAreInSmallLetters) {
  for (SourcePart part : {SourcePart::kGeneral, SourcePart::kFeatures, SourcePart::kTrain}) {
    for (const RowGrammar* row : rows_of(part)) {
      if (row->match != RowGrammar::kAnyCase) continue;
      for (const char* word : {row->keyword, row->also}) {
        for (const char* c = word; *c != 0; ++c) EXPECT_FALSE(*c >= 'A' && *c <= 'Z') << word;
      }
    }
  }
}
