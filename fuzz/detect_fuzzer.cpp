// Archive type detection over arbitrary bytes: it must never crash, hang or read outside the input,
// and a known type always comes with a start offset inside the file.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/core/arc_detect.h"
#include "engine/core/volume_names.h"
#include "support/bytes_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kv::test::BytesStream stream(std::vector<std::uint8_t>(data, data + size));
    kv::TArcDetection state;
    kv::TDetectionContext context;
    context.ArchiveFile = "fuzz/input.zip";
    context.ReportError = [](int) {};
    // A fixed answer keeps the run independent of the machine's disks.
    context.QueryDrive = [](const std::string&) {
        kv::platform::DriveInfo drive;
        drive.Valid = true;
        return drive;
    };
    const kv::TArcType type = kv::DetectArcType(stream, state, context);
    if (kv::IsKnownType(type) && (state.ArcStartOffset < 0 || state.ArcStartOffset >= state.ArcSize)) std::abort();
    if (type != state.ArcType) std::abort();

    kv::ComputeVolumeNumber(type, context.ArchiveFile, state);
    kv::GetNextVolumeName(type, context.ArchiveFile, state.VolumeNumber, state.VolumeLetter);
    return 0;
}
