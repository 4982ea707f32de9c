#pragma once

#include <cstddef>
#include <random>
#include <string>

namespace kv::test {

// Incompressible bytes; the same seed gives the same bytes.
inline std::string RandomBytes(std::size_t size, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// Compressible text of exactly `size` bytes.
inline std::string TextBytes(std::size_t size) {
    std::string text;
    while (text.size() < size) text += "a line of text that repeats " + std::to_string(text.size() % 7) + "\n";
    text.resize(size);
    return text;
}

// `lines` short lines of numbers that repeat seldom, so that the text compresses but not to nothing.
inline std::string NumberedLines(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += "line " + std::to_string(i * 7919 % 10007) + "\n";
    return text;
}

}  // namespace kv::test
