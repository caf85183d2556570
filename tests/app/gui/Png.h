// Writes 24-bit RGB pictures as PNG files, uncompressed (stored deflate blocks): screenshots of
// the tests need no image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `rgb` holds `height` rows of `width` pixels, top row first, three bytes per pixel.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
