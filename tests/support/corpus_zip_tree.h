#pragma once

// The ZIP family of the corpus: which types belong to it and the archives that extract otherwise than the
// independent extractors wrote them, each for a stated reason.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/arc_type.h"
#include "support/corpus_tree.h"

namespace kv::test {

inline bool IsZipFamily(TArcType type) {
    return type == atZip || type == atZipExe || type == atZipMV || type == atJar || type == atJarExe;
}

// Archives that cannot extract as the extractors wrote them, grouped by the reason. `shows` is what their
// differences must contain, so that each stays listed for its own reason only.
struct KnownDifference {
    const char* reason;
    const char* shows;
    std::vector<std::string> archives;
};

inline const std::vector<KnownDifference>& KnownDifferences() {
    static const std::vector<KnownDifference> known = {
        {"strong encryption (flag bit 6 with extra field 0x0017) is a cipher the engine does not offer",
         "Unsupported password encryption",
         {"libarchive/libarchive/test/test_read_format_zip_encryption_data.zip",
          "libarchive/libarchive/test/test_read_format_zip_encryption_partially.zip"}},
        {"a Shift-JIS name made on Windows (NTFS host) reads in the OEM code page, CP437, unless the user "
         "chooses CP932; the extractors kept the bytes",
         "unexpected ",
         {"libarchive/libarchive/test/test_read_format_zip_filename_cp932.zip"}},
        {"the fourth name is OEM 0x86 with a matching Unicode path field (\"\xC3\xA5\"); the extractors wrote \"xx\"",
         "unexpected File 4",
         {"libarchive/libarchive/test/test_read_format_zip_7075_utf8_paths.zip"}},
        {"a symbolic link whose target leads out of the destination is refused and reported; unzip made it",
         "Invalid file name (../outside)",
         {"libarchive/unzip/test/test_symlink_1.zip"}},
        {"a link target that climbs (\"..\") after a name is refused: that name may itself be a link, so the "
         "text cannot tell where the climb ends; unzip made these links",
         "Invalid file name (../COMPRESS-214_unix_symlinks/./a/b/c/../../../g)",
         {"commons-compress/COMPRESS-214_unix_symlinks.zip"}},
        {"two central records point at the one local entry of test1.txt: the second is refused as overlapping the "
         "first, as unzip refuses it; the file itself is written",
         "overlapped components",
         {"commons-compress/COMPRESS-227.zip"}},
        {"a zero byte ends a name, which leaves nothing of one starting with it; the extractors wrote \"_\" "
         "for that byte",
         "missing _",
         {"zip2/zip64_magic_in_filename_3.zip"}},
        {"the first of six byte-split parts without an end record: its last entry runs on in the next part",
         "Bad file header",
         {"sharpcompress/Archives/Zip.deflate.split.001"}},
        {"a 7-Zip self-extractor: the engine reads no 7z data, and detection finds the ZIP that the 7z data holds "
         "as a stored member (folder/Archive.zip), whose end lies beyond this file",
         "Bad file header",
         {"macpacker/defaultArchives/defaultArchive.exe"}},
    };
    return known;
}

inline const KnownDifference* FindKnown(const std::string& archive) {
    for (const KnownDifference& known : KnownDifferences())
        if (std::find(known.archives.begin(), known.archives.end(), archive) != known.archives.end()) return &known;
    return nullptr;
}

// A difference no reason excuses: a member written with the wrong bytes.
inline bool HasWrongContents(const std::string& differences) {
    for (const char* sign : {": size ", ": crc differs", ": sha-256 differs", ": fails its check", ": Decompression error",
                             ": not a file", ": a link", ": not a link"}) {
        if (differences.find(sign) != std::string::npos) return true;
    }
    return false;
}

// The judge of the ZIP family's list: a listed archive must show its reason and no wrong bytes.
inline std::optional<std::string> JudgeKnownZipDifference(const std::string& archive, const std::string& differences) {
    const KnownDifference* known = FindKnown(archive);
    if (known == nullptr) return std::nullopt;
    if (differences.find(known->shows) == std::string::npos || HasWrongContents(differences))
        return "is listed as known (" + std::string(known->reason) + ") but differs otherwise\n" + differences;
    return "";
}

}  // namespace kv::test
