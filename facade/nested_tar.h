#pragma once

#include "facade/kv_comp.h"

namespace kv::facade {

// Whether the attached archive is a TAR in a wrapper: a GZIP, BZIP2 or compress archive whose only entry
// starts as a TAR does.
bool MayHoldTar(const TkvComp& comp);

}  // namespace kv::facade
