#include "app/command_line.h"

#include <algorithm>

#include "engine/core/text_case.h"

namespace kv::app {
namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string WithoutQuotes(std::string token) {
    token.erase(std::remove(token.begin(), token.end(), '"'), token.end());
    return Trimmed(token);
}

}  // namespace

std::vector<std::string> SplitHandedOverLine(const std::string& line, const std::string& program_path) {
    std::vector<std::string> tokens;
    std::string rest = Trimmed(line);
    while (!rest.empty()) {
        std::size_t end;
        if (rest.front() == '"') {
            end = rest.find('"', 1);
            end = end == std::string::npos ? rest.size() : end + 1;
        } else {
            end = std::min(rest.find(' '), rest.find('"'));
            if (end == std::string::npos) end = rest.size();
        }
        tokens.push_back(WithoutQuotes(rest.substr(0, end)));
        rest = Trimmed(rest.substr(end));
    }
    if (!tokens.empty() && SameText(tokens.front(), program_path)) tokens.erase(tokens.begin());
    return tokens;
}

std::string QuotedCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) line += (line.empty() ? "\"" : " \"") + argument + "\"";
    return line;
}

}  // namespace kv::app
