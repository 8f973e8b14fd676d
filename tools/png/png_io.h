// Reading and writing 8-bit RGB PNG files (libpng's simplified interface).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes `rgb` (width * height triples) to `path`; on failure returns false and sets `error`.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb, std::string* error);

// Reads any PNG as 8-bit RGB triples; on failure returns false and sets `error`.
bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb, std::string* error);
