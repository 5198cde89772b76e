// The description of the source format for authors, kept in docs/source-format.md and built
// into the tool.
#pragma once

extern const char kSourceFormatPage[];
