#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/render/console.h"

namespace {

FILE* file_of(Stream stream) {
  return stream == Stream::kOut ? stdout : stderr;
}

}  // namespace

// A terminal takes the bytes as they are, colour sequences included.
void write_output(Stream stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), file_of(stream));
}

void flush_output(Stream stream) {
  std::fflush(file_of(stream));
}

bool standard_error_shows_colour() {
  const char* term = std::getenv("TERM");
  return isatty(fileno(stderr)) && term != nullptr && std::string(term) != "dumb";
}

void binary_standard_streams() {}

size_t read_standard_input(char* bytes, size_t size) {
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, bytes, size);
    if (got >= 0) return size_t(got);
    if (errno != EINTR) return 0;
  }
}
