// The description of the source format for authors, kept in docs/source-format.md (in Italian in
// docs/it/formato-sorgenti.md) and built into the tool.
#pragma once

extern const char kSourceFormatPage[];
extern const char kSourceFormatPageItalian[];
