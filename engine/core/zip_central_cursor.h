#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/header_reader.h"
#include "engine/core/zip_headers.h"

namespace kv {

// How the cursor turns stored names into text: decoded by the shared rule when `Translate` is set, with the
// code page the user chose for the archive (`Chosen`) and the OEM code page (`Oem`, empty: the program's).
struct TZipNameRule {
    bool Translate = true;
    std::string Chosen;
    std::string Oem;
};

// Why the cursor gave no further header.
enum class TZipCursorStop {
    csNone,           // it has not stopped
    csNoHeader,       // no central header fits before the limit
    csOtherRecord,    // another record follows (the directory's normal end)
    csNamePastEnd,    // the name runs past the limit
    csExtraPastEnd,   // the extra field does
    csCommentPastEnd  // the entry comment does
};

// One central header as the cursor read it.
struct TZipCentralRecord {
    TZipEntryHeader Header;      // the fixed part with the ZIP64 values and the other extra fields applied
    std::array<std::uint8_t, kZipCentralHeaderSize> Fixed{};  // the fixed part as stored (deciphered)
    std::int64_t Position = 0;   // where its signature lies
    char Kind = 'K';             // the signature's second byte: "K"/"M" plain, "L"/"N" hidden with the header keys
    bool ExtraFieldsFit = true;  // false when a field runs past the extra data (the values before it apply)
    // The bytes as stored (a hidden header's name and extra field deciphered); valid until the next header.
    std::string_view StoredName;
    std::string_view Extra;
    std::string_view Comment;
    std::string Name;  // the name as text by the cursor's rule, "/" between folders

    bool Enciphered() const { return Kind == 'L' || Kind == 'N'; }
    // The bytes the header takes with its variable parts.
    std::int64_t Size() const { return static_cast<std::int64_t>(kZipCentralHeaderSize + Header.VariableSize()); }
};

// Walks a ZIP central directory one header after the other, never reading past the reader's limit: every
// length is checked against what is left before it, so each step moves at least 46 bytes on and a walk ends
// within the limit whatever the headers claim.
class TZipCentralCursor {
public:
    TZipCentralCursor(THeaderReader& reader, std::int64_t position, TZipNameRule names = {})
        : reader_(reader), position_(position), names_(std::move(names)) {}

    // The next header, or nullptr once there is none (Stop() says why); the record is valid until the next call.
    const TZipCentralRecord* Next();
    TZipCursorStop Stop() const { return stop_; }
    // Where the next header is looked for.
    std::int64_t Position() const { return position_; }
    // Goes on at `position` (of the reader's current stream: the next volume of a spanned set).
    void MoveTo(std::int64_t position) {
        position_ = position;
        stop_ = TZipCursorStop::csNone;
    }

private:
    THeaderReader& reader_;
    std::int64_t position_;
    TZipNameRule names_;
    TZipCentralRecord record_;
    std::string deciphered_;  // a hidden header's variable parts
    TZipCursorStop stop_ = TZipCursorStop::csNone;
};

}  // namespace kv
