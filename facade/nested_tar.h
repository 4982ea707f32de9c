#pragma once

#include <string>

#include "facade/kv_comp.h"

namespace kv::facade {

// Whether the attached archive is a TAR in a wrapper: a GZIP, BZIP2 or compress archive whose only entry
// starts as a TAR does.
bool MayHoldTar(const TkvComp& comp);

// Such an archive is worked on as the TAR it holds: the entry is extracted into `temp_folder`, which
// must exist and be empty, and the TAR is opened in the archive's place. False leaves the archive
// attached as it was: it holds no TAR, or the entry could not be extracted whole (the facade's events
// have said why).
bool OpenNestedTar(TkvComp& comp, const std::string& temp_folder);

}  // namespace kv::facade
