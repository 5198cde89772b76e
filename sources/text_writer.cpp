#include "sources/text_writer.h"

#include "common/file_io.h"

const char kEndMarker[] = "riferimento fine del file";

namespace {

// The document's line buffer: its lines in order, then the end marker.
std::vector<std::string> fill_line_buffer(const std::vector<std::string>& lines) {
  std::vector<std::string> buffer(lines);
  buffer.push_back(kEndMarker);
  return buffer;
}

// The written form of the buffer: every slot up to the end marker, each ended by CR LF.
std::string written_form(const std::vector<std::string>& buffer) {
  std::string bytes;
  for (const std::string& slot : buffer) {
    if (slot == kEndMarker) break;
    bytes += slot;
    bytes += "\r\n";
  }
  return bytes;
}

}  // namespace

std::string document_bytes(const std::vector<std::string>& lines) {
  return written_form(fill_line_buffer(lines));
}

Status write_text_document(const std::string& path, const std::vector<std::string>& lines,
                           FileSystem& files) {
  if (lines.size() > kMaxDocumentLines) {
    return Status::Error("cannot write " + path + ": more than 1000 lines");
  }
  for (size_t k = 0; k < lines.size(); ++k) {
    // The end marker would cut the document short without a word: refuse it instead.
    if (lines[k] == kEndMarker) {
      return Status::Error("cannot write " + path + ": line " + std::to_string(k + 1) +
                           " is the end marker");
    }
  }
  return replace_file(path, document_bytes(lines), files);
}
