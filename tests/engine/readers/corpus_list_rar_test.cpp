#include "support/rar_cab_ace_corpus.h"

namespace kv {
namespace {

TEST(CorpusListRar, TrustedArchivesListTheirMembers) {
    const std::map<std::string, std::string> known = {
        {"libarchive/libarchive/test/test_read_splitted_rar_aa", "a byte-split archive: its parts are no RAR volumes"},
        {"sharpcompress/Archives/Rar4.split.001", "a byte-split archive: its parts are no RAR volumes"},
        {"rarfile/rar5-hpsw.rar", "headers enciphered: listed as password protected"},
        {"sharpcompress/Archives/Rar5.encrypted_filesAndHeader.rar", "headers enciphered: listed as password protected"},
        {"rarfile/rar5-versions.rar", "older versions share the file's name; the extractors add ;n"},
        {"macpacker/defaultArchives/defaultArchive.rar",
         "the expected list is another archive's (this one holds folder/NestedArchive.zip, folder/README.md, "
         "hello world.txt)"},
        {"sharpcompress/Archives/Rar.multi.solid.part01.rar",
         "a single extractor's list that lacks jpg/test.jpg and gives test.exe another CRC than the sample's "
         "cfb109c8"},
    };
    const std::map<std::string, std::string> without_crc = {
        {"libarchive/libarchive/test/test_read_format_rar5_blake2.rar", "BLAKE2 hash instead of a CRC-32"},
        {"rarfile/rar5-blake.rar", "BLAKE2 hash instead of a CRC-32"},
        {"rarfile/rar5-psw-blake.rar", "BLAKE2 hash instead of a CRC-32"},
        {"sharpcompress/Archives/Rar5.crc_blake2.rar", "BLAKE2 hash instead of a CRC-32"},
        {"rarfile/rar5-psw.rar", "enciphered entries keep a keyed checksum"},
        {"sharpcompress/Archives/Rar5.encrypted_filesOnly.rar", "enciphered entries keep a keyed checksum"},
        {"patool/p.rar", "enciphered entries keep a keyed checksum"},
        {"libarchive/libarchive/test/test_read_format_rar5_multiarchive_solid.part01.rar",
         "the last part of the spanned file stores 886f91eb, not the CRC-32 of the extracted file"},
    };
    test::ListCorpusFamily({"rar", "rar-sfx", "rar(prefixed)"}, true, known, without_crc);
}

}  // namespace
}  // namespace kv
