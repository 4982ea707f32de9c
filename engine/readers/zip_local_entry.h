#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "engine/core/header_reader.h"
#include "engine/core/zip_headers.h"

namespace kv {

// Where a walk over local headers goes on: a spanned set starts with a lone descriptor signature, which
// is stepped over.
std::int64_t ZipFirstLocalHeader(THeaderReader& reader, std::int64_t position);

// Where the entry whose data starts at `data_start` ends (past its data descriptor, when it has one).
// An entry written without knowing its sizes gets CRC and sizes from its descriptor, found by a search
// that `cancelled` can stop. Nothing when the entry's data cannot be delimited within the file.
std::optional<std::int64_t> ZipLocalEntryEnd(THeaderReader& reader, std::int64_t data_start, TZipEntryHeader& header,
                                             const std::function<bool()>& cancelled);

}  // namespace kv
