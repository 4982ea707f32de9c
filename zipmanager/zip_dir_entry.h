#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/zip_headers.h"

namespace kv {

// One entry of the ZIP directory as the ZIP manager reports it. The fields from VersionMadeBy to
// LocalHeaderOffset are the central header's values as stored; an archive with ZIP64 records keeps
// 0xFFFFFFFF there, and the *64 fields always hold the real values. The converted name, the raw extra
// field and the converted comment share one buffer: directories of a million entries stay small.
struct ZipDirEntry {
    std::uint8_t VersionMadeBy = 0;
    std::uint8_t HostSystem = 0;
    std::uint16_t VersionNeeded = 0;
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0;
    std::uint32_t DosDateTime = 0;  // time in the low word, date in the high word
    std::uint32_t Crc32 = 0;
    std::uint32_t PackedSize = 0;
    std::uint32_t UnpackedSize = 0;
    std::uint16_t NameLength = 0;  // as stored, before conversion
    std::uint16_t ExtraLength = 0;
    std::uint16_t CommentLength = 0;
    std::uint16_t DiskStart = 0;
    std::uint16_t InternalAttributes = 0;
    std::uint32_t ExternalAttributes = 0;
    std::uint32_t LocalHeaderOffset = 0;
    bool IsEncrypted = false;  // bit 0 of Flags

    std::uint64_t PackedSize64 = 0;
    std::uint64_t UnpackedSize64 = 0;
    std::uint64_t LocalHeaderOffset64 = 0;

    std::string_view Name() const { return std::string_view(texts_).substr(0, name_size_); }  // converted, with the path delimiter
    std::string_view Extra() const { return std::string_view(texts_).substr(name_size_, extra_size_); }
    // The modification time of the NTFS or extended-timestamp extra field, finer than DosDateTime.
    std::optional<TPreciseTime> ModTime() const { return ZipExtraModTime(Extra()); }
    std::string_view Comment() const { return std::string_view(texts_).substr(std::size_t{name_size_} + extra_size_); }
    void SetTexts(std::string_view name, std::string_view extra, std::string_view comment) {
        texts_.reserve(name.size() + extra.size() + comment.size());
        texts_.assign(name).append(extra).append(comment);
        name_size_ = static_cast<std::uint32_t>(name.size());
        extra_size_ = static_cast<std::uint16_t>(extra.size());
    }

private:
    std::string texts_;
    std::uint32_t name_size_ = 0;
    std::uint16_t extra_size_ = 0;
};

}  // namespace kv
