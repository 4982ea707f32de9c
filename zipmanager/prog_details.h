#pragma once

#include <cstdint>
#include <string>

#include "zipmanager/zip_enums.h"

namespace kv {

// The progress snapshot handed to OnProgressDetails.
struct TProgressDetails {
    ProgressType Stage = NewFile;
    int FilesTotal = 0;
    int FileNumber = 0;  // 1-based count of the items started
    std::string FileName;
    std::uint32_t FileSize = 0;
    std::uint32_t FileDone = 0;
    std::int64_t BytesTotal = 0;
    std::int64_t BytesDone = 0;
    std::int64_t BytesWritten = 0;

    int ItemPerCent() const;
    int TotalPerCent() const;
};

// The core's instance, with the resets the reports need.
class TProgDetails : public TProgressDetails {
public:
    // Clears everything but the totals of files and bytes and the bytes written.
    void ResetItem();
    void Clear() { static_cast<TProgressDetails&>(*this) = TProgressDetails{}; }
};

}  // namespace kv
