#pragma once

#include <map>
#include <string>

namespace kv::test {

// Marks the corpus TAR archives with sparse members (GNU "S" and the pax sparse formats) as known
// differences, for `why`: the engine keeps sparse members as they are stored.
inline void AddSparseTarArchives(std::map<std::string, std::string>& known, const std::string& why) {
    for (const char* name : {"commons-compress/oldgnu_extended_sparse.tar",
                             "commons-compress/oldgnu_sparse.tar",
                             "commons-compress/pax_gnu_sparse.tar",
                             "commons-compress/posix00_sparse.tar",
                             "commons-compress/posix01_sparse.tar",
                             "commons-compress/posix10_sparse.tar",
                             "libarchive/libarchive/test/test_read_format_gtar_sparse_1_13.tar",
                             "libarchive/libarchive/test/test_read_format_gtar_sparse_1_17.tar",
                             "libarchive/libarchive/test/test_read_format_gtar_sparse_1_17_posix00.tar",
                             "libarchive/libarchive/test/test_read_format_gtar_sparse_1_17_posix01.tar",
                             "libarchive/libarchive/test/test_read_format_gtar_sparse_1_17_posix10.tar",
                             "libarchive/libarchive/test/test_read_format_gtar_sparse_reuse.tar"})
        known.emplace(name, why);
}

}  // namespace kv::test
