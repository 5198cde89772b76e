// A language's translations as the build compiles them from its PO file (po/<language>.po, made
// into a table by cmake/po_catalogue.py): every translated message, sorted by its English text
// as bytes, and the language's plural rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct CatalogueEntry {
  std::string_view english;     // a plural message's singular and plural, joined by a NUL
  std::string_view translated;  // a plural message's forms, joined by NULs
};

struct Catalogue {
  const CatalogueEntry* entries;
  size_t count;
  // Which of a plural message's forms the count `n` takes.
  size_t (*plural_form)(uint64_t n);
};

// The Italian catalogue (po/it.po).
extern const Catalogue kItalianCatalogue;
