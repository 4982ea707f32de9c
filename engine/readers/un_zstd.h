#pragma once

#include "engine/readers/un_single_file.h"

namespace kv {

// Extracts the file of a Zstandard archive: every frame, one after another, into the one output;
// skippable frames are passed over, as zstd does.
class TUnZstd : public TUnSingleFile {
protected:
    TMemberStart ReadStart(TMemberInput& input) override;
    bool DecodeMember(TMemberInput& input, TByteSink& sink) override;
};

}  // namespace kv
