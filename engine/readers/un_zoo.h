#pragma once

#include <cstdint>

#include "engine/core/custom_dclass.h"
#include "engine/readers/zoo_header.h"

namespace kv {

// Extracts and tests ZOO archives: stored, LZW and LZH entries, each checked against its CRC-16.
class TUnZoo : public TUnBase {
protected:
    void ExtractIt(TStream32* archive, TObject* component) override;

private:
    void ExtractEntry(TStream32& archive, const TZooEntry& entry);
    // Decodes the entry's data into the open output; false (reported) when the data are damaged.
    bool Decode(TStream32& archive, const TZooEntry& entry);
};

}  // namespace kv
