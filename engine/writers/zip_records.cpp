#include "engine/writers/zip_records.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace kv {
namespace {

constexpr std::uint16_t kZip64ExtraId = 0x0001;

void Put16(std::vector<std::uint8_t>& out, std::uint64_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint64_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, (value >> 16) & 0xFFFF);
}
void Put64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    Put32(out, value & 0xFFFFFFFFu);
    Put32(out, value >> 32);
}
void PutBytes(std::vector<std::uint8_t>& out, const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    out.insert(out.end(), p, p + size);
}
void PutSignature(std::vector<std::uint8_t>& out, std::uint8_t third, std::uint8_t fourth) {
    out.insert(out.end(), {'P', 'K', third, fourth});
}
std::uint64_t Saturated32(std::uint64_t value) { return value >= kZip32Limit ? kZip32Limit : value; }

// The values saturated in the fixed part, in the order the ZIP64 field keeps them.
std::vector<std::uint64_t> Zip64Values(const TZipRecordEntry& entry) {
    std::vector<std::uint64_t> values;
    if (entry.UnpackedSize >= kZip32Limit) values.push_back(entry.UnpackedSize);
    if (entry.PackedSize >= kZip32Limit) values.push_back(entry.PackedSize);
    if (entry.LocalOffset >= kZip32Limit) values.push_back(entry.LocalOffset);
    return values;
}

void PutZip64Field(std::vector<std::uint8_t>& out, const std::vector<std::uint64_t>& values) {
    Put16(out, kZip64ExtraId);
    Put16(out, values.size() * 8);
    for (const std::uint64_t value : values) Put64(out, value);
}

}  // namespace

bool NeedsZip64Sizes(std::uint64_t unpacked_size) {
    // A stored copy carries a cipher's header and trailer (at most 28 bytes); deflate that grows is stored.
    constexpr std::uint64_t kLargestGrowth = 64;
    return unpacked_size + kLargestGrowth >= kZip32Limit;
}

std::size_t LocalHeaderSize(const TZipRecordEntry& entry, bool zip64_sizes) {
    return 30 + entry.StoredName.size() + entry.LocalExtra.size() + (zip64_sizes ? 20 : 0);
}

void AppendLocalHeader(std::vector<std::uint8_t>& out, const TZipRecordEntry& entry, bool zip64_sizes) {
    PutSignature(out, 3, 4);
    Put16(out, zip64_sizes ? std::max(entry.VersionNeeded, kZipVersionZip64) : entry.VersionNeeded);
    Put16(out, entry.Flags);
    Put16(out, entry.Method);
    Put32(out, entry.DosDateTime);
    Put32(out, entry.Crc);
    Put32(out, zip64_sizes ? kZip32Limit : entry.PackedSize);
    Put32(out, zip64_sizes ? kZip32Limit : entry.UnpackedSize);
    Put16(out, entry.StoredName.size());
    Put16(out, entry.LocalExtra.size() + (zip64_sizes ? 20 : 0));
    PutBytes(out, entry.StoredName.data(), entry.StoredName.size());
    if (zip64_sizes) PutZip64Field(out, {entry.UnpackedSize, entry.PackedSize});
    PutBytes(out, entry.LocalExtra.data(), entry.LocalExtra.size());
}

void AppendDataDescriptor(std::vector<std::uint8_t>& out, const TZipRecordEntry& entry, bool zip64_sizes) {
    PutSignature(out, 7, 8);
    Put32(out, entry.Crc);
    if (zip64_sizes) {
        Put64(out, entry.PackedSize);
        Put64(out, entry.UnpackedSize);
    } else {
        Put32(out, entry.PackedSize);
        Put32(out, entry.UnpackedSize);
    }
}

std::size_t CentralHeaderSize(const TZipRecordEntry& entry) {
    const std::size_t zip64 = Zip64Values(entry).size();
    return 46 + entry.StoredName.size() + (zip64 == 0 ? 0 : 4 + 8 * zip64) + entry.CentralExtra.size() +
           std::min<std::size_t>(entry.Comment.size(), kZip16Limit);
}

void AppendCentralHeader(std::vector<std::uint8_t>& out, const TZipRecordEntry& entry) {
    const std::vector<std::uint64_t> zip64 = Zip64Values(entry);
    const std::size_t zip64_size = zip64.empty() ? 0 : 4 + 8 * zip64.size();
    const std::string& comment = entry.Comment;
    const std::size_t comment_size = std::min<std::size_t>(comment.size(), kZip16Limit);
    PutSignature(out, 1, 2);
    Put16(out, entry.VersionMadeBy);
    Put16(out, zip64.empty() ? entry.VersionNeeded : std::max(entry.VersionNeeded, kZipVersionZip64));
    Put16(out, entry.Flags);
    Put16(out, entry.Method);
    Put32(out, entry.DosDateTime);
    Put32(out, entry.Crc);
    Put32(out, Saturated32(entry.PackedSize));
    Put32(out, Saturated32(entry.UnpackedSize));
    Put16(out, entry.StoredName.size());
    Put16(out, entry.CentralExtra.size() + zip64_size);
    Put16(out, comment_size);
    Put16(out, 0);  // disk number
    Put16(out, entry.InternalAttr);
    Put32(out, entry.ExternalAttr);
    Put32(out, Saturated32(entry.LocalOffset));
    PutBytes(out, entry.StoredName.data(), entry.StoredName.size());
    if (!zip64.empty()) PutZip64Field(out, zip64);
    PutBytes(out, entry.CentralExtra.data(), entry.CentralExtra.size());
    PutBytes(out, comment.data(), comment_size);
}

void AppendEndRecords(std::vector<std::uint8_t>& out, std::uint64_t entry_count, std::uint64_t central_offset,
                      std::uint64_t central_size, const std::string& comment) {
    const bool zip64 = entry_count >= kZip16Limit || central_offset >= kZip32Limit || central_size >= kZip32Limit;
    if (zip64) {
        const std::uint64_t zip64_end_offset = central_offset + central_size;
        PutSignature(out, 6, 6);
        Put64(out, 44);  // the size of the rest of this record
        Put16(out, kZipHostUnix << 8 | kZipVersionZip64);
        Put16(out, kZipVersionZip64);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, entry_count);
        Put64(out, entry_count);
        Put64(out, central_size);
        Put64(out, central_offset);
        PutSignature(out, 6, 7);
        Put32(out, 0);
        Put64(out, zip64_end_offset);
        Put32(out, 1);  // disks in all
    }
    const std::size_t comment_size = std::min<std::size_t>(comment.size(), kZip16Limit);
    PutSignature(out, 5, 6);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, std::min(entry_count, kZip16Limit));
    Put16(out, std::min(entry_count, kZip16Limit));
    Put32(out, Saturated32(central_size));
    Put32(out, Saturated32(central_offset));
    Put16(out, comment_size);
    PutBytes(out, comment.data(), comment_size);
}

void EncipherHeaderRecord(std::uint8_t* record, std::size_t size, const TSeedKeyRecord& seed) {
    record[1] = 'L';
    TZipKeys keys(seed);
    keys.Encipher(record + 4, size - 4);
}

std::vector<std::uint8_t> WithoutZip64Field(const std::uint8_t* extra, std::size_t size) {
    std::vector<std::uint8_t> kept;
    std::size_t at = 0;
    while (at + 4 <= size) {
        const std::uint16_t id = platform::LoadLE16(extra + at);
        const std::size_t length = platform::LoadLE16(extra + at + 2);
        if (length > size - at - 4) break;  // a field running past the data ends what can be kept
        if (id != kZip64ExtraId) kept.insert(kept.end(), extra + at, extra + at + 4 + length);
        at += 4 + length;
    }
    return kept;
}

}  // namespace kv
