#pragma once

#include <string>

#include "support/test_support.h"

namespace kv::test {

// The `kv` program of this build.
inline std::string Kv() { return (BinaryDir() / "kv").string(); }

}  // namespace kv::test
