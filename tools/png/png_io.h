// Reading and writing 8-bit RGB PNG files (libpng's simplified interface).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The PNG file of `rgb` (width * height triples), in memory, for the caller to write; on
// failure returns false and sets `error`. (Also in builds without libpng, through zlib.)
bool EncodePng(int width, int height, const std::vector<uint8_t>& rgb, std::vector<uint8_t>* file, std::string* error);

// Writes `rgb` (width * height triples) to `path`; on failure returns false and sets `error`.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb, std::string* error);

// The largest picture ReadPng takes. The pixels are allocated from the size the header
// claims, before a single row is read, so a file of a few bytes could ask for gigabytes.
inline constexpr uint32_t kMaxPngSide = 16384;
inline constexpr uint64_t kMaxPngPixels = uint64_t{64} << 20;

// Reads any PNG as 8-bit RGB triples; on failure returns false and sets `error`. A picture
// beyond the bounds above, one with more pixels than the file's bytes can hold compressed, or
// one there is no memory for, is refused with its size.
bool ReadPng(const std::string& path, int* width, int* height, std::vector<uint8_t>* rgb, std::string* error);

// ReadPng on the bytes of a PNG file in memory.
bool ReadPngFromMemory(const uint8_t* data, size_t size, int* width, int* height, std::vector<uint8_t>* rgb,
                       std::string* error);
