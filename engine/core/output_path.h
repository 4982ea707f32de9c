#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv {

// The output path of an entry: `extract_dir` (with its trailing delimiter) followed, when
// `use_stored_dirs` is set, by the entry's own folders, then its file part. Stored names may use "/" or
// "\". A drive ("C:") and leading delimiters are dropped, and so are "." and ".." folders, so that no
// stored name can lead outside `extract_dir`. A zero byte ends the name. Empty when nothing usable is
// left of the file part ("a/..", "").
std::optional<std::string> BuildOutputPath(const std::string& extract_dir, std::string_view stored_name,
                                           bool use_stored_dirs);

}  // namespace kv
