#include "engine/readers/single_file_entry.h"

#include <sys/stat.h>

#include "engine/core/crc.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/format_readers.h"
#include "engine/readers/un_single_file.h"

namespace kv {
namespace {

// Counts what the decoder gives and keeps its CRC-32, while the lister is not cancelled.
class TCountingSink : public TByteSink {
public:
    explicit TCountingSink(const TArcLister& lister) : lister_(lister) {}
    bool Write(const std::uint8_t* data, std::size_t size) override {
        count_ += static_cast<std::int64_t>(size);
        crc_ = UpdateCrc32(crc_, data, size);
        return !lister_.GetCancel();
    }
    std::int64_t Count() const { return count_; }
    std::uint32_t Crc() const { return ~crc_; }

private:
    const TArcLister& lister_;
    std::int64_t count_ = 0;
    std::uint32_t crc_ = 0xFFFFFFFFu;
};

}  // namespace

std::uint32_t ArchiveFileAttributes(const std::string& path) {
    constexpr std::uint32_t kReadOnly = 0x01;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 0;
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ? kReadOnly : 0;
}

TEntryRecord ArchiveFileRecord(const TArcLister& lister) {
    TEntryRecord record;
    record.FileName = lister.ArchiveBaseName();
    record.FileDate = lister.DosDateTimeToDateTime(lister.Detection().ArcDate);
    record.ExternalAttr = ArchiveFileAttributes(lister.ArchiveFile());
    return record;
}

bool TakeDecodedSizeAndCrc(TArcLister& lister, TEntryRecord& record) {
    std::unique_ptr<TUnBase> reader = CreateReader(lister.ArcType());
    auto* decoder = dynamic_cast<TUnSingleFile*>(reader.get());
    if (decoder == nullptr) return false;
    decoder->SetArchiveFile(lister.ArchiveFile());
    TFileStream32 file(lister.ArchiveFile(), TFileOpenMode::fmOpenRead);
    TCountingSink counted(lister);
    if (!file.IsValid() || !decoder->DecodeInto(file, counted)) return false;
    record.UnpackedSize = counted.Count();
    record.FileCRC = counted.Crc();
    return true;
}

}  // namespace kv
