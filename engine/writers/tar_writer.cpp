#include "engine/writers/tar_writer.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "engine/core/dates.h"
#include "engine/core/error_codes.h"
#include "engine/core/text_case.h"
#include "engine/readers/tar_walk.h"
#include "engine/core/packed_tar_types.h"
#include "engine/writers/tar_packing.h"
#include "engine/writers/tar_records.h"
#include "platform/file_attributes_linux.h"
#include "platform/paths.h"
#include "platform/sym_link.h"

namespace kv {
namespace {

constexpr std::size_t kCopyBufferSize = 1024 * 1024;
constexpr std::int64_t kBlock = static_cast<std::int64_t>(kTarBlockSize);
// Readers expect two zero blocks at the end; the archive is then padded to whole records.
constexpr std::int64_t kEndMarkerSize = 2 * kBlock;
constexpr std::int64_t kRecordSize = 20 * kBlock;
constexpr std::uint32_t kDefaultFileMode = 0644;
constexpr std::uint32_t kDefaultFolderMode = 0755;

std::string LastPart(std::string name) {
    while (!name.empty() && name.back() == '/') name.pop_back();
    return name.substr(name.rfind('/') + 1);
}

// The name the packed TAR of a ".tar.gz" or ".tgz" archive goes by.
std::string InnerTarName(const std::string& archive) {
    const std::string name = std::filesystem::path(archive).filename().string();
    const std::string ext = platform::ExtractFileExt(name);
    if (SameText(ext, ".tgz")) return name.substr(0, name.size() - ext.size()) + ".tar";
    if (SameText(ext, ".gz")) return name.substr(0, name.size() - ext.size());
    return name;
}

}  // namespace

TTar::TTar() : TCompBase(cmTarred) { InitDefaultExt(".TAR"); }

bool TTar::AcceptsMethod(TCompressMethod method) const {
    return method == cmTarred || IsPackedTarType(TarTypeFor(method));
}

TArcType TTar::WriterArcType() const { return TarTypeFor(compress_method_); }

// ---------------------------------------------------------------- old archive

bool TTar::ReadArchive(TStream32& archive, TCompressHeaderObj& headers) {
    const std::int64_t size = archive.Size();
    THeaderReader reader(archive, size, THeaderReader::kSmallChunk);
    std::vector<TOldMember> members;
    std::vector<TCompressHeader> found;
    bool truncated = false;
    std::int64_t end = 0;
    WalkTar(reader, 0, [&](const TTarMember& member) {
        if (member.EndAt > size) {
            truncated = true;
            return false;
        }
        const bool folder = member.TypeFlag == '5';
        TCompressHeader header;
        header.StoredName = member.Name;
        if (folder && !header.StoredName.empty() && header.StoredName.back() != '/') header.StoredName += '/';
        header.FormatIndex = members.size();
        header.Offset = member.StartAt;
        header.Size = member.EndAt - member.StartAt;
        header.DosDateTime = FileTimeToDosDateTime(member.ModificationTime.value_or(0));
        header.UnpackedSize = static_cast<std::uint64_t>(member.Size);
        header.Attributes = platform::DosAttributes(LastPart(member.Name), (member.Mode & 07777) | (folder ? S_IFDIR : S_IFREG));
        found.push_back(std::move(header));
        members.push_back({member.StartAt, member.HeaderAt, member.DataAt, member.EndAt, member.Size, member.LinkName,
                           member.ModificationTime});
        end = member.EndAt;
        return true;
    });
    // A member cut short, or a damaged header where the end marker should be, would lose what follows.
    if (truncated) return false;
    const std::uint8_t* next = reader.Fetch(end, kTarBlockSize);
    if (next != nullptr && std::any_of(next, next + kTarBlockSize, [](std::uint8_t byte) { return byte != 0; })) return false;
    for (TCompressHeader& header : found) headers.Add(std::move(header));
    old_members_ = std::move(members);
    return true;
}

bool TTar::CopyItem(const TCompressHeader& item) {
    const TOldMember& member = old_members_[item.FormatIndex];
    if (item.Action != caRename) return Copy(member.StartAt, member.EndAt - member.StartAt);
    // A renamed member gets its own header under the new name (with the extension headers it needs); its
    // data is copied as it is.
    TTarBlock header;
    if (old_stream_->ReadAt(member.HeaderAt, header.data(), kBlock) != kBlock) return false;
    const std::vector<std::uint8_t> blocks =
        FrameTarMember(header, {item.StoredName, member.LinkName, member.Size, member.ModificationTime});
    return Write(blocks.data(), static_cast<std::int64_t>(blocks.size())) &&
           Copy(member.DataAt, member.EndAt - member.DataAt);
}

// ---------------------------------------------------------------- new archive

bool TTar::BeginArchive(TStream32& out, TStream32* old_archive, const TCompressHeaderObj&) {
    out_ = &out;
    old_stream_ = old_archive;
    buffer_.resize(kCopyBufferSize);
    if (compress_method_ == cmTarred) return true;
    // Packed as it is written: a TAR written whole and packed afterwards would cross the disk twice more.
    const TGzipMemberInfo info{InnerTarName(ArchiveFile()), static_cast<std::uint32_t>(std::time(nullptr)),
                               DeflateLevelFor(DeflateType)};
    packer_ = NewTarPacker(compress_method_, info, DeflateType, out);
    out_ = packer_.get();
    return packer_ != nullptr;
}

TTar::TItemOutcome TTar::CompressItem(std::size_t, const TCompressHeader& item) {
    std::unique_ptr<TFileStream32> source;
    struct stat st{};
    bool known = false;
    std::string link_target;
    if (item.IsLink) {
        const std::optional<std::string> target = platform::ReadSymLink(item.DiskPath);
        if (!target) {
            DoError(item.DiskPath, std::strerror(errno), "0", ecode::kErrorOpeningFile);
            return TItemOutcome::ioFileFailed;
        }
        link_target = *target;
        known = ::lstat(item.DiskPath.c_str(), &st) == 0;
    } else if (item.IsDirectory) {
        known = ::stat(item.DiskPath.c_str(), &st) == 0;
    } else {
        source = std::make_unique<TFileStream32>(item.DiskPath, TFileOpenMode::fmOpenRead);
        if (!source->IsValid()) {
            DoError(item.DiskPath, std::strerror(source->LastError()), "0", ecode::kErrorOpeningFile);
            return TItemOutcome::ioFileFailed;
        }
        known = ::fstat(source->Handle(), &st) == 0;
    }
    // Permissions as they are on disk: a fixed read-only mode would lock whoever extracts with tar out.
    const std::uint32_t mode = known ? st.st_mode & 0777 : item.IsDirectory ? kDefaultFolderMode : kDefaultFileMode;
    const bool data = !item.IsDirectory && !item.IsLink;
    const std::int64_t size = !data ? 0 : known ? st.st_size : static_cast<std::int64_t>(item.UnpackedSize);
    // The file's own seconds (a DOS date would round them), unless another date was asked for.
    const std::int64_t time = known && DateAttribute == daFileDate
                                  ? static_cast<std::int64_t>(st.st_mtime)
                                  : static_cast<std::int64_t>(DateTimeToFileTime(DosDateTimeToDateTime(item.DosDateTime)));

    const std::int64_t start = out_->Position();
    const char type = item.IsLink ? '2' : item.IsDirectory ? '5' : '0';
    const TTarBlock header = NewTarHeader(mode, {UnixUID, UnixGID, UnixUName, UnixGName}, type);
    const std::vector<std::uint8_t> blocks = FrameTarMember(header, {item.StoredName, link_target, size, time});
    if (!Write(blocks.data(), static_cast<std::int64_t>(blocks.size()))) return TItemOutcome::ioArchiveFailed;
    if (!data) return TItemOutcome::ioDone;

    const TItemOutcome outcome = CopyFile(item, *source, size);
    if (outcome != TItemOutcome::ioFileFailed) return outcome;
    // A file that could not be read leaves nothing behind: its header alone would break the archive. A
    // packed archive cannot take back what its compressor has already taken; the member is then filled up
    // with zeros to the size its header announced, so the archive stays whole (the file is reported failed,
    // and a member it replaces is kept after it, where extraction finds it last).
    if (out_->SetSize(start) && out_->SetPosition(start)) return outcome;
    const std::int64_t data_end = start + static_cast<std::int64_t>(blocks.size()) + size;
    return FillWithZeros(data_end) && PadToBlock() ? outcome : TItemOutcome::ioArchiveFailed;
}

TTar::TItemOutcome TTar::CopyFile(const TCompressHeader& item, TStream32& source, std::int64_t size) {
    uLong crc = ::crc32(0, nullptr, 0);
    std::int64_t done = 0;
    std::int64_t reported = 0;
    while (done < size) {
        const std::int64_t count = std::min<std::int64_t>(size - done, static_cast<std::int64_t>(buffer_.size()));
        if (source.ReadFull(buffer_.data(), count) != count) {
            DoError(item.DiskPath, std::strerror(source.LastError() != 0 ? source.LastError() : EIO), "0",
                    ecode::kErrorReadingFile);
            return TItemOutcome::ioFileFailed;
        }
        crc = ::crc32(crc, buffer_.data(), static_cast<uInt>(count));
        if (!Write(buffer_.data(), count)) return TItemOutcome::ioArchiveFailed;
        done += count;
        if (!FileBytesDone(size, reported, count)) return TItemOutcome::ioCancelled;
    }
    Crc32Value = static_cast<std::uint32_t>(crc);
    return PadToBlock() ? TItemOutcome::ioDone : TItemOutcome::ioArchiveFailed;
}

bool TTar::FinishArchive() {
    const std::int64_t end = out_->Position() + kEndMarkerSize;
    return FillWithZeros((end + kRecordSize - 1) / kRecordSize * kRecordSize) && (!packer_ || packer_->Finish());
}

bool TTar::FillWithZeros(std::int64_t end) {
    std::fill(buffer_.begin(), buffer_.end(), 0);
    for (std::int64_t left = end - out_->Position(); left > 0;) {
        const std::int64_t part = std::min<std::int64_t>(left, static_cast<std::int64_t>(buffer_.size()));
        if (!Write(buffer_.data(), part)) return false;
        left -= part;
    }
    return true;
}

void TTar::EndRun() {
    packer_.reset();
    old_members_.clear();
    out_ = nullptr;
    old_stream_ = nullptr;
    buffer_.clear();
    buffer_.shrink_to_fit();
}

bool TTar::Copy(std::int64_t from, std::int64_t count) {
    if (!old_stream_->SetPosition(from)) return false;
    while (count > 0) {
        const std::int64_t part = std::min<std::int64_t>(count, static_cast<std::int64_t>(buffer_.size()));
        if (old_stream_->ReadFull(buffer_.data(), part) != part || !Write(buffer_.data(), part)) return false;
        count -= part;
    }
    return true;
}

bool TTar::Write(const void* bytes, std::int64_t count) { return out_->WriteFull(bytes, count) == count; }

bool TTar::PadToBlock() {
    const std::int64_t gap = (kBlock - out_->Position() % kBlock) % kBlock;
    static constexpr std::uint8_t kZeros[kTarBlockSize] = {};
    return Write(kZeros, gap);
}

// ---------------------------------------------------------------- packed TAR

std::unique_ptr<THandleStream32> TTar::OpenArchiveForReading(const std::string& name) {
    if (compress_method_ == cmTarred) return TCompBase::OpenArchiveForReading(name);
    // The old TAR is unpacked beside the run's other temporary files, never next to the archive.
    TFileStream32 packed(name, TFileOpenMode::fmOpenRead);
    auto tar = std::make_unique<TTempFileStream>(TempDir());
    if (!packed.IsValid() || !tar->IsValid() || !UnpackTar(compress_method_, packed, *tar)) return std::make_unique<THandleStream32>(-1);
    return tar;
}

}  // namespace kv
