#pragma once

#include <string>

namespace kv::cli {

// Whether standard input and standard error are terminals (questions and a progress line make sense).
bool Interactive();
// Asks on the terminal without echoing what is typed; empty when nothing could be read.
std::string ReadSecret(const std::string& prompt);
// Asks a question on the terminal and returns the answer's first character ('\0' at end of input).
char AskChoice(const std::string& question);

}  // namespace kv::cli
