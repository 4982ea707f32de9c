#pragma once

#include <stdexcept>
#include <string>

namespace kv {

// The engine's exception for fatal output errors (disk full, write error). It is raised only after the
// error went through OnError, and every operation catches it at its outer level.
class E_RAISE : public std::runtime_error {
public:
    E_RAISE(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

}  // namespace kv
