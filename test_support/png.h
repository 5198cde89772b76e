// Saves a picture as a PNG file (8-bit RGB, uncompressed deflate blocks), so that tests can leave
// screenshots for people to look at without any image library.
#pragma once

#include <string>

// `rgb` holds width * height pixels, row by row, three bytes each. Returns false when the file
// cannot be written.
bool write_png(const std::string& path, int width, int height, const std::string& rgb);
