#pragma once

// The corpus archives of the TAR family (TAR, compressed TAR, single GZIP, BZIP2 and compress files) that
// read otherwise than the independent extractors wrote them, each with the reason.
#include <map>
#include <string>

namespace kv::test {

// TAR archives whose extraction differs.
inline const std::map<std::string, std::string>& TarExtractDifferences() {
    static const std::map<std::string, std::string> known = {
        {"commons-compress/synthetic/long-name/gnu.tar", "a 32 767-character name: no file system takes it"},
        {"commons-compress/synthetic/long-name/pax.tar", "a 32 767-character name: no file system takes it"},
        {"libarchive/libarchive/test/test_pax_filename_encoding.tar",
         "a pax path that is not valid UTF-8 is written as stored; the extractors wrote the byte as \\xfc"},
        {"libarchive/libarchive/test/test_read_format_tar_empty_with_gnulabel.tar",
         "the GNU volume label is skipped by detection, not extracted"},
        {"libarchive/libarchive/test/test_compat_tar_directory_1.tar",
         "a folder header claims one byte of data, and the block skipped for it is the next folder's header"},
        {"sharpcompress/Archives/Tar.PaxGlobalHeader.Link.tar",
         "a pax global linkpath applies to every following link, as GNU tar takes it; the extractors kept the "
         "header's own"},
    };
    return known;
}

// Single compressed files whose one member is named or found otherwise.
inline const std::map<std::string, std::string>& SingleFileDifferences() {
    static const std::map<std::string, std::string> known = [] {
        const std::string stored_name = "the member keeps the name its GZIP header stores; the extractors named it "
                                        "after the file, as gzip -d does";
        const std::string too_small = "at most 19 bytes: too small for detection";
        return std::map<std::string, std::string>{
            {"commons-compress/multiple.gz", stored_name},
            {"generated-debian/gzip-single-with-name.gz", stored_name},
            {"commons-compress/org/apache/commons/compress/gzip/members.gz", stored_name},
            {"commons-compress/org/apache/commons/compress/gzip/members-size-0.gz", stored_name},
            {"libarchive/cat/test/test_expand.gz", stored_name},
            {"libarchive/libarchive/test/test_read_format_raw.data.gz", stored_name},
            {"sharpcompress/Archives/Large/Large.gz", stored_name},
            {"libarchive/libarchive/test/test_read_format_raw.data.Z", too_small},
            {"patool/t.txt.Z", too_small},
        };
    }();
    return known;
}

}  // namespace kv::test
