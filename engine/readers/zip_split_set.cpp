#include "engine/readers/zip_split_set.h"

#include <algorithm>
#include <cstdio>

#include "platform/paths.h"

namespace kv {

std::string SpannedVolumeName(TArcType type, const std::string& archive, std::uint32_t disk, std::uint32_t last_disk) {
    if (type == atZipDS) {
        char label[32];
        std::snprintf(label, sizeof label, "PKBACK# %03u", disk + 1);
        return label;
    }
    if (disk >= last_disk) return archive;
    const std::string ext = platform::ExtractFileExt(archive);
    char number[16];
    std::snprintf(number, sizeof number, ".z%02u", disk + 1);
    return archive.substr(0, archive.size() - ext.size()) + number;
}

TSplitSetStream::TSplitSetStream(std::vector<std::unique_ptr<TFileStream32>> volumes) : volumes_(std::move(volumes)) {
    starts_.push_back(0);
    for (const auto& volume : volumes_) starts_.push_back(starts_.back() + std::max<std::int64_t>(volume->Size(), 0));
}

std::int64_t TSplitSetStream::Read(void* buffer, std::int64_t count) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::int64_t done = 0;
    while (done < count && position_ < starts_.back()) {
        // The volume holding the position: the last start not beyond it.
        const auto it = std::upper_bound(starts_.begin(), starts_.end(), position_);
        const std::size_t disk = static_cast<std::size_t>(it - starts_.begin()) - 1;
        const std::int64_t in_volume = position_ - starts_[disk];
        const std::int64_t wanted = std::min(count - done, starts_[disk + 1] - position_);
        if (volumes_[disk]->Seek(in_volume, TSeekOrigin::soBeginning) != in_volume) break;
        const std::int64_t got = volumes_[disk]->Read(out + done, wanted);
        if (got <= 0) break;
        done += got;
        position_ += got;
    }
    return done;
}

std::int64_t TSplitSetStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? position_ : Size();
    const std::int64_t target = base + offset;
    if (target < 0) return -1;
    position_ = target;
    return position_;
}

}  // namespace kv
