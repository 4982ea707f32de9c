#pragma once

#include <string>
#include <vector>

namespace kv::app {

// The parameters of a command line that a second start handed over, split as the running window splits
// it: a token in double quotes runs to the next quote, any other to the next blank; quotes are dropped and
// tokens trimmed. A first token naming the running program itself (any case) is dropped.
std::vector<std::string> SplitHandedOverLine(const std::string& line, const std::string& program_path);

// The whole command line of this process as one text, each argument in double quotes, so that the
// receiver's split gives the arguments back (an argument holding a double quote cannot survive that).
std::string QuotedCommandLine(const std::vector<std::string>& arguments);

}  // namespace kv::app
