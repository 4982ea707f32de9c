#pragma once

#include <cstdint>
#include <map>

namespace kv {

// The stretches of an archive its entries occupy, from the local header to the end of the data. Entries
// that share bytes are how a small archive extracts to many times its size: each stretch may be claimed
// once.
class TZipEntrySpans {
public:
    // Records [start, end); false, and nothing recorded, when it overlaps a stretch claimed before.
    bool Claim(std::int64_t start, std::int64_t end);

private:
    std::map<std::int64_t, std::int64_t> spans_;  // start -> end
};

}  // namespace kv
