#pragma once

#include "outside/zip_engine_records.h"

namespace kv {

// Why an entry was not extracted, in the order of the ZIP manager's skip types (zrSkipped sends the
// reason + 1).
enum TUnzSkipReason {
    srOnFreshen, srNoOverwrite, srFileExists, srBadPassword, srNoEncryption, srCompressionUnknown, srUnknownZipHost,
    srZipFileFormatWrong, srGeneralExtractError,
};

// The library's error number for an engine error code.
ZipEngError ZipEngErrorOf(int engine_code);
// The skip reason an engine error gives the entry it stopped.
TUnzSkipReason SkipReasonOf(int engine_code);
// Errors that keep one entry out while it is selected, before its extraction starts.
bool IsSelectionError(int engine_code);

}  // namespace kv
