#pragma once

#include <cstdint>
#include <string>

#include "engine/core/custom_dclass.h"
#include "engine/readers/lha_header.h"

namespace kv {

// Extracts and tests LHA/LZH archives (header levels 0 to 3): stored and compressed files, folders, and
// Unix symbolic links that stay inside the extraction folder; every file is checked against its CRC-16.
class TUnLha : public TUnBase {
protected:
    void ExtractIt(TStream32* archive, TObject* component) override;

private:
    std::string EntryName(const TLhaHeader& header) const;
    void ExtractEntry(TStream32& archive, const TLhaHeader& header);
    void ExtractFile(TStream32& archive, const TLhaHeader& header);
    void ExtractLink(const TLhaHeader& header, const std::string& target);
};

}  // namespace kv
