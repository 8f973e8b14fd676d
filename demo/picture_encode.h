// PNG files from RGB pixels, through stb_image_write (Debian's libstb-dev).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `rgb` holds width x height pixels of three bytes; false with `error` when the file cannot be
// written.
bool WritePngFile(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height, std::string& error);
