#include "facade/nested_tar.h"

#include <memory>

#include "engine/readers/reader_for_type.h"
#include "engine/readers/un_single_file.h"

namespace kv::facade {

bool MayHoldTar(const TkvComp& comp) {
    if (comp.ArcType() != atGZip && comp.ArcType() != atBz2 && comp.ArcType() != atXz && comp.ArcType() != atZstd) return false;
    if (comp.Entries().size() != 1) return false;
    // The start of the decoded file tells, whatever the file is named.
    std::unique_ptr<TUnBase> reader = CreateReader(comp.ArcType());
    auto* single = dynamic_cast<TUnSingleFile*>(reader.get());
    if (single == nullptr) return false;
    single->SetArchiveFile(comp.ArcFilename());
    return single->HoldsTar();
}

}  // namespace kv::facade
