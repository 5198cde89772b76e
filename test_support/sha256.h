// SHA-256 of a byte string as 64 lower-case hex digits, the same text `sha256sum` prints, so a
// digest pinned in a test can be checked by hand against a file.
#pragma once

#include <string>

std::string sha256_hex(const std::string& bytes);
