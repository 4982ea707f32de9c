#pragma once

#include "engine/readers/un_single_file.h"

namespace kv {

// Extracts the file of a BZIP2 archive; the streams of a concatenated file all go into the one output.
class TUnBZip2 : public TUnSingleFile {
protected:
    TMemberStart ReadStart(TMemberInput& input) override;
    bool DecodeMember(TMemberInput& input, TByteSink& sink) override;
};

}  // namespace kv
