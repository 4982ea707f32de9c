#include "engine/readers/lha_entry_sink.h"

#include <algorithm>

#include "engine/core/crc.h"

namespace kv {
namespace {

constexpr std::size_t kNameLengthAt = 1;
constexpr std::size_t kMaxNameLength = 63;
constexpr std::size_t kZeroAt[] = {0, 74, 82};
constexpr std::size_t kDataForkSizeAt = 83;
constexpr std::size_t kResourceForkSizeAt = 87;

std::uint32_t LoadBE32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 | p[2] << 8 | p[3];
}

std::uint64_t PaddedTo128(std::uint64_t size) { return (size + 127) / 128 * 128; }

}  // namespace

bool TLhaEntrySink::Write(const std::uint8_t* data, std::size_t size) {
    crc16_ = UpdateCrc16(crc16_, data, size);
    if (!decided_ && may_wrap_) {
        const std::size_t taken = std::min(size, kWrapperSize - held_size_);
        std::copy_n(data, taken, held_.begin() + static_cast<std::ptrdiff_t>(held_size_));
        held_size_ += taken;
        data += taken;
        size -= taken;
        if (held_size_ < kWrapperSize) return true;
        decided_ = true;
        if (!IsWrapper() && !Pass(held_.data(), held_size_)) return false;
    }
    decided_ = true;
    return Pass(data, size);
}

bool TLhaEntrySink::Finish() {
    if (decided_ || held_size_ == 0) return true;
    decided_ = true;
    return Pass(held_.data(), held_size_);
}

bool TLhaEntrySink::IsWrapper() {
    if (held_[kNameLengthAt] == 0 || held_[kNameLengthAt] > kMaxNameLength) return false;
    if (std::any_of(std::begin(kZeroAt), std::end(kZeroAt), [&](std::size_t at) { return held_[at] != 0; })) return false;
    const std::uint64_t data_fork = LoadBE32(&held_[kDataForkSizeAt]);
    const std::uint64_t resource_fork = LoadBE32(&held_[kResourceForkSizeAt]);
    if (kWrapperSize + PaddedTo128(data_fork) + PaddedTo128(resource_fork) != unpacked_size_) return false;
    fork_left_ = data_fork;
    return true;
}

bool TLhaEntrySink::Pass(const std::uint8_t* data, std::size_t size) {
    const std::size_t passed = static_cast<std::size_t>(std::min<std::uint64_t>(size, fork_left_));
    fork_left_ -= passed;
    return passed == 0 || output_.Write(data, passed);
}

}  // namespace kv
