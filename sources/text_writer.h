// The one way every text file of the scenario is written: the two sources and the three driver
// documents. A document is a list of lines; each is written as its bytes (Windows-1252, one
// byte a character) followed by CR LF, with trailing blanks kept and nothing added, no byte-order
// mark. An existing file of the same name is always replaced, never appended to.
#pragma once

#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/status.h"

// The text that closes a document in its line buffer. It is never written, and no document line
// may be equal to it.
extern const char kEndMarker[];

// A document holds at most this many lines: its buffer has one more slot, for the end marker.
constexpr size_t kMaxDocumentLines = 1000;

// The bytes of a document as written: each line followed by CR LF, up to the end marker.
std::string document_bytes(const std::vector<std::string>& lines);

// Writes `lines` as the text file at `path`, replacing whatever file was there: the bytes go to
// a new temporary file beside it, which is then renamed over `path` (see replace_file), so no
// byte of an older version survives and a failure leaves the older file whole. A document longer
// than kMaxDocumentLines or holding the end marker as a line is refused before any file is
// touched.
Status write_text_document(const std::string& path, const std::vector<std::string>& lines,
                           FileSystem& files = platform_file_system());
