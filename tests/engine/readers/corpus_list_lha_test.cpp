#include "support/old_formats_corpus.h"

namespace kv {
namespace {

const char* const kOtherSfxOffset = "detection finds no start offset, or another one, in this self-extractor";
const char* const kPmarc = "PMarc archives (-pm?- methods) are not typed as LHA by detection";
const char* const kMacBinary = "MacLHA keeps a MacBinary header in each entry's data; the stored sizes include it";

const std::map<std::string, std::string> kKnown = {
    {"lhasa/archives/explzh_723/declha_sfx_ansi.exe", kOtherSfxOffset},
    {"lhasa/archives/explzh_723/declha_sfx_unicode.exe", kOtherSfxOffset},
    {"lhasa/archives/lhmelt_16536/sfx_winsfx_213.exe", kOtherSfxOffset},
    {"lhasa/archives/lhmelt_16536/sfx_winsfxm_250.exe", kOtherSfxOffset},
    {"lhasa/archives/larc333/sfx.com", kOtherSfxOffset},
    {"lhasa/archives/lha_amiga_122/sfx.run", kOtherSfxOffset},
    {"lhasa/archives/pmarc2/sfx.com", kOtherSfxOffset},
    {"lhasa/archives/generated/pm1/pm1.pma", kPmarc},
    {"lhasa/archives/pmarc124/mtcd.pma", kPmarc},
    {"lhasa/archives/pmarc124/pm0.pma", kPmarc},
    {"lhasa/archives/pmarc124/pm1.pma", kPmarc},
    {"lhasa/archives/pmarc124/pm1_long.pma", kPmarc},
    {"lhasa/archives/pmarc2/comment.pma", kPmarc},
    {"lhasa/archives/pmarc2/long.pma", kPmarc},
    {"lhasa/archives/pmarc2/pm0.pma", kPmarc},
    {"lhasa/archives/pmarc2/pm2.pma", kPmarc},
    {"lhasa/archives/maclha_224/l1_full_subdir.lzh", kMacBinary},
    {"lhasa/archives/maclha_224/l1_lh0.lzh", kMacBinary},
    {"lhasa/archives/maclha_224/l1_lh1.lzh", kMacBinary},
    {"lhasa/archives/maclha_224/l1_lh5.lzh", kMacBinary},
    {"lhasa/archives/maclha_224/l1_subdir.lzh", kMacBinary},
    {"lhasa/archives/maclha_224/l2_full_subdir.lzh", kMacBinary},
    {"lhasa/archives/maclha_224/l2_lh0.lzh", kMacBinary},
    {"lhasa/archives/maclha_224/l2_lh1.lzh", kMacBinary},
    {"lhasa/archives/maclha_224/l2_lh5.lzh", kMacBinary},
    {"lhasa/archives/maclha_224/l2_subdir.lzh", kMacBinary},
    {"lhasa/archives/lha_amiga_122/lh0_dirs_bug.lzh",
     "an empty folder stored as a -lh0- entry without a file name lists as that folder, not as an empty file"},
    {"lhasa/archives/regression/badterm.lzh", "the expected list escapes the control bytes of the name"},
    {"libarchive/libarchive/test/test_read_format_lha_filename_utf16.lzh",
     "names stored in Shift-JIS; the OEM code page here is 437"},
};

// LHA stores a CRC-16, so names and sizes are compared. The independent extractors show the capital
// names of MS-DOS archivers in lower case; the lister keeps them as stored, so case is not compared.
TEST(CorpusListLha, EveryTrustedArchiveListsItsFiles) {
    test::CheckCorpusRows({"lha", "lha-sfx", "lha-sfx(atari-tos, unverified)"}, false, kKnown, true);
}

}  // namespace
}  // namespace kv
