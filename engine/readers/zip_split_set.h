#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/arc_type.h"
#include "engine/core/stream32.h"

namespace kv {

// The volume an entry of a spanned set lies on: the disk label of its disk, or the split file of its
// disk (name.z01, name.z02, ..., name.z100, the last disk being the archive itself).
std::string SpannedVolumeName(TArcType type, const std::string& archive, std::uint32_t disk, std::uint32_t last_disk);

// The files of a split ZIP set read as one stream, the first volume first: an offset stored for disk n
// is found at DiskStart(n) + offset, and data running past the end of one volume goes on in the next.
class TSplitSetStream : public TStream32 {
public:
    // Takes the volumes in disk order; none may be null.
    explicit TSplitSetStream(std::vector<std::unique_ptr<TFileStream32>> volumes);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void*, std::int64_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return starts_.back(); }

    // Where disk `disk` starts in the joined stream (the end for a disk beyond the set).
    std::int64_t DiskStart(std::uint32_t disk) const {
        return disk < volumes_.size() ? starts_[disk] : starts_.back();
    }

private:
    std::vector<std::unique_ptr<TFileStream32>> volumes_;
    std::vector<std::int64_t> starts_;  // one more than volumes_: the last is the total size
    std::int64_t position_ = 0;
};

}  // namespace kv
