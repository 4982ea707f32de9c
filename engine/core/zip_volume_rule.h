#pragma once

#include "engine/core/arc_type.h"
#include "platform/drive_info.h"

namespace kv {

// Which kind of ZIP volume a file is, from the drive that holds it: a removable disk labelled
// "PKBACK# ..." carries a spanned set (atZipDS); any other readable drive split volumes (atZipMV);
// atNA when the drive cannot be read.
TArcType ZipVolumeType(const platform::DriveInfo& drive);

}  // namespace kv
