#pragma once

#include "engine/readers/un_single_file.h"

namespace kv {

// Extracts the file of an XZ archive, or of a legacy LZMA ("alone") file. Streams that follow one
// another, with the stream padding between them, all go into the one output, as xz reads them.
class TUnXz : public TUnSingleFile {
protected:
    TMemberStart ReadStart(TMemberInput& input) override;
    bool DecodeMember(TMemberInput& input, TByteSink& sink) override;
};

}  // namespace kv
