#include <gtest/gtest.h>

#include "sources/line_source.h"
#include "sources/train_source.h"
#include "test_support/document_check.h"

namespace {

// Line k (from 1) of a written text file.
std::string line_of(const std::string& bytes, size_t k) {
  size_t start = 0;
  for (size_t n = 1; n < k; ++n) start = bytes.find("\r\n", start) + 2;
  return bytes.substr(start, bytes.find("\r\n", start) - start);
}

}  // namespace

TEST(ScenarioSourcesTest, LineSourceIsWrittenExactly) {
  const std::string bytes = check_written_document(dati_linea, kLineSourceFile);
  const struct {
    size_t line;
    const char* text;
  } lines[] = {
      {1, "[generale]"},
      {9, "ripetizione segnali 4 codici,    0    ,0"},
      {10, "[curve]"},
      {11, "curvad4,  500,  300"},
      {57, "pendenza,   0,    0"},
      {60, "pendenza,  5000,   -5"},
      {103, "montagna,   6950,  7050,  2"},
      {109, "indicatori_vmax,  500,  65,  70,  80,  0,  ,  ,  ,  0"},
      {121, "indicatori_vmax,  39400,  100,  105,  110,  0,  100,  105,  110,  0"},
      {124, "cartello_indicatore,  2100,   (Cippo Km.)( 37+000  )"},
      {156, "cartello_indicatore,  35800,   (Ponte Fiume)(  Tevere   )"},
      {163, "[fine]"},
  };
  for (const auto& l : lines) EXPECT_EQ(line_of(bytes, l.line), l.text) << "line " << l.line;
  // Pure ASCII.
  for (unsigned char c : bytes) ASSERT_LT(c, 0x80);
}

TEST(ScenarioSourcesTest, TrainSourceIsWrittenExactly) {
  const std::string bytes = check_written_document(dati_treno, kTrainSourceFile);
  const struct {
    size_t line;
    const char* text;
  } lines[] = {
      {1, "[generale]"},
      {5, "orologio,    13              10            45 "},
      {18, "stazione,       0, 12,  400,  1, 0, 1,  4,1,0,  2,1,1,    1,  13, 8, 0, VITERBO P. F."},
      {35, "segnale,   38100,   2, 3, 1,  0, 0,    0,  0,0,0, 130"},
      {36, "[codici]"},
      {37, "[fine]"},
  };
  for (const auto& l : lines) EXPECT_EQ(line_of(bytes, l.line), l.text) << "line " << l.line;
  for (unsigned char c : bytes) ASSERT_LT(c, 0x80);
}
