#include "engine/core/zip_central_cursor.h"

#include <cstring>

#include "engine/core/oem_names.h"
#include "engine/core/zip_cipher.h"

namespace kv {
namespace {

std::string_view Bytes(const std::uint8_t* p, std::size_t size) { return {reinterpret_cast<const char*>(p), size}; }

// Which variable part does not fit before `limit` when the header's fixed part ends at `variable_at`.
TZipCursorStop MissingPart(std::int64_t variable_at, std::int64_t limit, const TZipEntryHeader& header) {
    const std::int64_t room = limit - variable_at;
    if (header.NameLength > room) return TZipCursorStop::csNamePastEnd;
    if (std::int64_t{header.NameLength} + header.ExtraLength > room) return TZipCursorStop::csExtraPastEnd;
    return TZipCursorStop::csCommentPastEnd;
}

}  // namespace

const TZipCentralRecord* TZipCentralCursor::Next() {
    if (stop_ != TZipCursorStop::csNone) return nullptr;
    const std::uint8_t* p = reader_.Fetch(position_, kZipCentralHeaderSize);
    if (p == nullptr) {
        // A shorter record (an end record without a comment) may follow the directory.
        const std::uint8_t* signature = reader_.Fetch(position_, 4);
        stop_ = signature != nullptr && !IsZipRecord(signature, 0x01, 0x02) ? TZipCursorStop::csOtherRecord
                                                                            : TZipCursorStop::csNoHeader;
        return nullptr;
    }
    if (!IsZipRecord(p, 0x01, 0x02)) {
        stop_ = TZipCursorStop::csOtherRecord;
        return nullptr;
    }
    // The fixed part is copied: fetching the variable parts may refill the reader's buffer.
    TZipCentralRecord& record = record_;
    std::array<std::uint8_t, kZipCentralHeaderSize>& fixed = record.Fixed;
    std::memcpy(fixed.data(), p, fixed.size());
    record.Position = position_;
    record.Kind = static_cast<char>(fixed[1]);
    if (record.Enciphered()) DecipherHeader(fixed.data(), TCipheredRecord::crCentral);
    record.Header = ParseZipCentralHeader(fixed.data());
    const TZipEntryHeader& header = record.Header;

    const std::int64_t variable_at = position_ + static_cast<std::int64_t>(kZipCentralHeaderSize);
    const std::size_t variable_size = header.VariableSize();
    const std::uint8_t* v = reader_.Fetch(variable_at, variable_size);
    if (v == nullptr) {
        stop_ = MissingPart(variable_at, reader_.Limit(), header);
        return nullptr;
    }
    if (record.Enciphered()) {
        // A hidden header's name and extra field are enciphered too; its comment is not.
        deciphered_.assign(reinterpret_cast<const char*>(v), variable_size);
        DecipherHeaderContinuation(reinterpret_cast<std::uint8_t*>(deciphered_.data()),
                                   std::size_t{header.NameLength} + header.ExtraLength);
        v = reinterpret_cast<const std::uint8_t*>(deciphered_.data());
    }
    record.StoredName = Bytes(v, header.NameLength);
    record.Extra = Bytes(v + header.NameLength, header.ExtraLength);
    record.Comment = Bytes(v + header.NameLength + header.ExtraLength, header.CommentLength);
    record.ExtraFieldsFit = ReadZipExtraFields(v + header.NameLength, header.ExtraLength, record.StoredName, true,
                                               record.Header, record.Comment);
    const std::string_view name = ZipEntryName(header, record.StoredName);
    record.Name = names_.Translate
                      ? ConvertStoredName(DecodeStoredName(name, header.NameOrigin(), names_.Chosen, names_.Oem), false)
                      : ConvertStoredName(name, false);
    position_ = variable_at + static_cast<std::int64_t>(variable_size);
    return &record;
}

}  // namespace kv
