#include "documents/driver_documents.h"

#include <gtest/gtest.h>

#include "test_support/document_check.h"

namespace {

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(DriverDocumentsTest, TrainSheetIsWrittenExactly) {
  const std::string bytes = check_written_document(dati_scheda, kTrainSheetFile);
  EXPECT_EQ(bytes.substr(0, 2), "\r\n");
  EXPECT_TRUE(ends_with(bytes, "  il + nella casella orario indica 1/2 minuto\r\n\r\n\r\n\r\n"));
  EXPECT_NE(bytes.find("  NOTE:\r\n \r\n  il +"), std::string::npos) << "line 50 is one blank";
  EXPECT_NE(bytes.find("|________|        \r\n"), std::string::npos)
      << "trailing blanks of line 11";
  EXPECT_NE(bytes.find("|___________|  \r\n"), std::string::npos) << "trailing blanks of line 48";
  EXPECT_NE(bytes.find("scheda n\xB0 1/1"), std::string::npos);
  EXPECT_NE(bytes.find("Localit\xE0 "), std::string::npos);
}

TEST(DriverDocumentsTest, SlowdownOrderIsWrittenExactly) {
  const std::string bytes = check_written_document(dati_rallentamenti, kSlowdownOrderFile);
  EXPECT_EQ(bytes.substr(0, 2), "\r\n");
  EXPECT_TRUE(ends_with(bytes, "progressiva chilometrica 3+726\r\n"));
  const std::string empty_row =
      "\r\n |   |                            |            |          |         |            |";
  EXPECT_EQ(count(bytes, empty_row), 24u);
  const size_t a = bytes.find(" A - "), b = bytes.find(" B - "), d = bytes.find(" D - "),
               c = bytes.find(" C - "), e = bytes.find(" E - ");
  EXPECT_TRUE(a < b && b < d && d < c && c < e) << "legend runs A, B, D, C, E";
  for (unsigned char ch : bytes) ASSERT_LT(ch, 0x80);
}

TEST(DriverDocumentsTest, NotesAreWrittenExactly) {
  const std::string bytes = check_written_document(dati_note, kNotesFile);
  // The prose and the blank line before the signature block: 14 lines, 1134 bytes.
  size_t end_of_14 = 0;
  for (int n = 0; n < 14; ++n) end_of_14 = bytes.find("\r\n", end_of_14) + 2;
  EXPECT_EQ(end_of_14, 1134u);
  EXPECT_EQ(bytes.substr(end_of_14 - 4, 4), "\r\n\r\n");
  EXPECT_EQ(
      bytes.rfind("Ho scelto di dedicare questo ulteriore scenario al reg. 7545 poich\xE8 \xE8 l'",
                  0),
      0u);
  EXPECT_EQ(count(bytes, " \r\n"), 4u) << "lines 3, 5, 6 and 10 end with a blank";
  EXPECT_EQ(count(bytes, "\xE8"), 6u);
  EXPECT_EQ(count(bytes, "\xE0"), 3u);
  EXPECT_EQ(count(bytes, "\xB0"), 1u);
}
