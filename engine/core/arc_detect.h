#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/arc_type.h"
#include "engine/core/dates.h"
#include "engine/core/events.h"
#include "engine/core/stream32.h"
#include "platform/drive_info.h"

namespace kv {

// What detection found out about an archive file; reset at the start of every detection.
struct TArcDetection {
    TArcType ArcType = atNA;
    std::int64_t ArcStartOffset = -1;  // where the format's first header lies; for ZIP the central directory
    std::int64_t ArcSize = 0;
    std::uint32_t ArcDate = kMinDosDateTime;  // the file's creation time, local, MS-DOS packed
    THeaderTypeState ZipLayoutFlags;
    std::uint32_t ZipPrefixSize = 0;  // added to stored central-directory offsets to reach the real position
    // Copies of the records last read, deciphered where they were enciphered.
    std::vector<std::uint8_t> EndRecord;  // 22 bytes, or 26 for the wide record
    std::array<std::uint8_t, 20> Zip64Locator{};
    std::array<std::uint8_t, 56> Zip64EndRecord{};
    std::array<std::uint8_t, 46> FirstCentralHeader{};
    std::array<std::uint8_t, 30> FirstLocalHeader{};
    int VolumeNumber = 0;
    char VolumeLetter = 0;
};

// Receives the ZIP archive comment while the end record is searched.
class TArchiveCommentSink {
public:
    virtual ~TArchiveCommentSink() = default;
    virtual void ReceiveComment(std::uint32_t end_signature, std::int64_t central_position, std::int64_t end_position,
                                const std::uint8_t* comment, std::size_t comment_size) = 0;
};

// What detection needs from its engine object.
struct TDetectionContext {
    std::string ArchiveFile;  // the name as stored on the engine object ("" when detecting a bare stream)
    // Reports an engine error (code) against ArchiveFile with volume "0", as OnError would.
    std::function<void(int code)> ReportError;
    TArchiveCommentSink* CommentSink = nullptr;
    // Answers the drive question of the ZIP volume rule; the system's query when empty (tests fake it).
    std::function<platform::DriveInfo(const std::string& path)> QueryDrive;
};

// Runs detection on an open stream, fills `state` and returns the type.
TArcType DetectArcType(TStream32& stream, TArcDetection& state, const TDetectionContext& context);

// Searches the ZIP end record backwards from endPos: the central-directory position, 0 when nothing was
// found, -1 when the structure is inconsistent.
std::int64_t FindCentralDir(TStream32& stream, std::int64_t end_pos, std::int64_t start_pos, TArcDetection& state,
                            const TDetectionContext& context);

}  // namespace kv
