#include "engine/readers/entry_data_io.h"

#include <algorithm>

namespace kv {

std::size_t TEntrySource::Read(std::uint8_t* buffer, std::size_t size) {
    const std::int64_t wanted = std::min<std::int64_t>(remaining_, static_cast<std::int64_t>(size));
    const std::int64_t got = engine_.ReadBlock(archive_, wanted, kNoCrc, decipher_, buffer);
    remaining_ -= got;
    return static_cast<std::size_t>(got);
}

bool TEntrySink::Write(const std::uint8_t* data, std::size_t size) {
    if (engine_.GetCancel()) return false;
    if (static_cast<std::int64_t>(size) > room_) {
        overflowed_ = true;
        return false;
    }
    room_ -= static_cast<std::int64_t>(size);
    // WriteBlock changes the buffer only when asked to decipher it, which a codec's output never is.
    engine_.WriteBlock(output_, const_cast<std::uint8_t*>(data), true, static_cast<std::int64_t>(size), crc_kind_, false);
    if (progress_) progress_(static_cast<std::int64_t>(size));
    return !engine_.GetCancel();
}

}  // namespace kv
