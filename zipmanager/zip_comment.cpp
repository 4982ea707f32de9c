// Writing the archive comment in place.
#include <algorithm>
#include <array>
#include <new>

#include "platform/byte_order.h"
#include "zipmanager/zip_core.h"

namespace kv {

void TZipCore::SetArchiveComment(const std::string& comment) {
    if (!active_) {
        pending_comment_ = comment;
        comment_pending_ = true;
        return;
    }
    try {
        const bool found = !ZipFileName.empty() && LocateArchive(true) == TLocateResult::Found;
        archive_comment_ = comment;
        if (found) WriteComment(comment);
    } catch (const EZipManager& error) {
        CloseInput();
        ShowException(error);
        archive_comment_.clear();
    } catch (const std::bad_alloc&) {
        CloseInput();
        ShowMessage(zmsg::kOutOfMemory);
        archive_comment_.clear();
    }
}

void TZipCore::WriteComment(const std::string& comment) {
    CloseInput();
    std::string stored = TextToStored(comment, comment_host_);
    // The length field has 16 bits: a longer comment would leave an archive no reader can find the end of.
    if (stored.size() > static_cast<std::size_t>(kZipMaxCommentLength)) stored.resize(kZipMaxCommentLength);
    if (stored == end_.Comment) return;

    TFileStream32 file(real_file_name_, TFileOpenMode::fmOpenReadWrite);
    if (!file.IsValid()) throw EZipManager(zmsg::kZipNotOpened);
    if (file.Seek(end_.Position, TSeekOrigin::soBeginning) != end_.Position) throw EZipManager(zmsg::kSeekErrorInput);
    std::array<std::uint8_t, kZipEndRecordSize> record{};
    if (file.ReadFull(record.data(), kZipEndRecordSize) != kZipEndRecordSize ||
        platform::LoadLE32(record.data()) != 0x06054B50)
        throw EZipManager(zmsg::kEndRecordReadError);
    record[20] = static_cast<std::uint8_t>(stored.size() & 0xFF);
    record[21] = static_cast<std::uint8_t>(stored.size() >> 8);
    if (file.Seek(end_.Position, TSeekOrigin::soBeginning) != end_.Position ||
        file.WriteFull(record.data(), kZipEndRecordSize) != kZipEndRecordSize)
        throw EZipManager(zmsg::kEndRecordWriteError);
    const auto length = static_cast<std::int64_t>(stored.size());
    if (file.WriteFull(stored.data(), length) != length) throw EZipManager(zmsg::kWriteErrorOutput);
    if (!file.SetSize(end_.Position + kZipEndRecordSize + length) || !file.Flush())
        throw EZipManager(zmsg::kWriteErrorOutput);
    List();
}

}  // namespace kv
