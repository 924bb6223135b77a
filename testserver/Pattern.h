// The deterministic byte pattern behind generated answer bodies (Answer::generatedBodySize) and
// pattern files, so a test or benchmark can check gigabytes of data by length and SHA-256 alone.
//
// Byte i of the pattern is byte (i mod 8) of splitmix64(i / 8) in little-endian order. The
// pattern never repeats at a power-of-two distance, so a chunk sent twice or at the wrong offset
// changes the digest. Every function is thread-safe; sizes and offsets below zero are an error
// (std::invalid_argument).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace testserver {

// Writes pattern bytes [offset, offset + size) to out.
void fillPattern(int64_t offset, char* out, size_t size);

// SHA-256 (lowercase hex) of the first n bytes of the pattern.
std::string patternSha256(int64_t n);

// Creates or truncates the file at `path` and writes the first n pattern bytes to it; throws
// std::runtime_error when the file cannot be written.
void writePatternFile(const std::string& path, int64_t n);

}  // namespace testserver
