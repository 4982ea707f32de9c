#include "support/rar_cab_ace_corpus.h"

namespace kv {
namespace {

// Cabinets store no CRC-32 of their files.
TEST(CorpusListCab, TrustedArchivesListTheirMembers) {
    const std::string in_other_code_page = "names in another code page than the OEM one are converted from the OEM one";
    const std::map<std::string, std::string> known = {
        {"libarchive/libarchive/test/test_read_format_cab_filename_cp932.cab", in_other_code_page},
        {"libmspack/cabextract/test/cabs/encoding-koi8.cab", in_other_code_page},
        {"libmspack/cabextract/test/cabs/encoding-latin1.cab", in_other_code_page},
        {"libmspack/cabextract/test/cabs/encoding-sjis.cab", in_other_code_page},
        {"libmspack/libmspack/test/test_files/cabd/hidden-files.cab",
         "the header's file-table offset skips two records that the other readers take from behind the folders"},
        {"libmspack/libmspack/test/test_files/cabd/search_basic.cab",
         "a cabinet behind other bytes of a plain file is not detected as one"},
    };
    test::ListCorpusFamily({"cab", "cab(prefixed)"}, false, known);
}

}  // namespace
}  // namespace kv
