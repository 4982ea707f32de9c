// Lists a TAR archive's files, links and directories from the walk over its headers.
#include <algorithm>

#include "engine/core/dates.h"
#include "engine/core/header_reader.h"
#include "engine/core/method_names.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/tar_walk.h"
#include "platform/file_attributes_linux.h"

namespace kv {
namespace {

// Headers lie behind each member's data; small refills keep a walk over large members cheap.
constexpr std::size_t kTarReadChunk = 64 * 1024;

void OfferMember(TArcLister& lister, const TTarMember& member) {
    const bool directory_type = member.TypeFlag == '5';
    // Files (contiguous "7" and sparse "S" ones too), links and folders.
    const bool listed = directory_type || member.TypeFlag == '\0' || member.TypeFlag == '0' ||
                        member.TypeFlag == '1' || member.TypeFlag == '2' || member.TypeFlag == '7' ||
                        member.TypeFlag == 'S';
    if (!listed) return;

    TEntryRecord record;
    record.FileName = lister.ConvertName(member.Name, member.NameOrigin());
    record.FileDate = member.ModificationTime ? UnixTimeToDateTime(*member.ModificationTime) : kFallbackFileDate;
    if (member.ModificationTime) record.ModTime = TPreciseTime{*member.ModificationTime, member.ModificationNanoseconds};
    record.PackedSize = member.Size;
    record.UnpackedSize = member.RealSize;
    record.FileCRC = member.Checksum;
    record.ExternalAttr = directory_type ? platform::kFaDirectory : 0;
    TMethodNameExtras extras;
    extras.FileName = record.FileName;
    record.CompressMethodName = GetCompressMethodName(atTar, 0, 0, record.ExternalAttr, extras);
    record.HeaderOffset = member.HeaderAt;
    // Old archives mark directories only by the trailing "/" of the name.
    const bool directory = directory_type || (!member.Name.empty() && member.Name.back() == '/');
    lister.OfferEntry(std::move(record), member.HeaderAt,
                      directory ? TListedKind::lkCountedDirectory : TListedKind::lkFile);
}

}  // namespace

void ListTar(TArcLister& lister) {
    ListTarIn(lister, lister.Archive(), lister.ArchiveSize(),
              std::max<std::int64_t>(lister.Detection().ArcStartOffset, 0));
}

void ListTarIn(TArcLister& lister, TStream32& archive, std::int64_t size, std::int64_t start) {
    THeaderReader reader(archive, size, kTarReadChunk);
    WalkTar(reader, start, [&](const TTarMember& member) {
        if (lister.GetCancel()) return false;
        OfferMember(lister, member);
        return true;
    });
}

}  // namespace kv
