#pragma once

#include <string>

#include "facade/kv_comp.h"

namespace kv::facade {

// A GZIP or BZIP2 archive whose only entry is a TAR (named ".tar" or without extension) is worked on as
// that TAR: the entry is extracted into `temp_folder`, which must be empty, and the TAR is opened in the
// archive's place. False leaves the archive attached as it was: it holds no TAR, or the entry could not
// be extracted whole (the facade's events have said why).
bool OpenNestedTar(TkvComp& comp, const std::string& temp_folder);

}  // namespace kv::facade
