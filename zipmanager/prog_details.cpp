#include "zipmanager/prog_details.h"

namespace kv {

int TProgressDetails::ItemPerCent() const {
    if (FileSize == 0 || FileDone == 0) return 0;
    // Large items divide first so the product cannot overflow 32 bits.
    if (FileSize > 214747) return static_cast<int>(FileDone / (FileSize / 100));
    return static_cast<int>(std::uint64_t{FileDone} * 100 / FileSize);
}

int TProgressDetails::TotalPerCent() const {
    if (BytesTotal == 0 || BytesDone == 0) return 0;
    return static_cast<int>(BytesDone * 100 / BytesTotal);
}

void TProgDetails::ResetItem() {
    BytesDone = 0;
    FileName.clear();
    FileSize = 0;
    FileDone = 0;
}

}  // namespace kv
