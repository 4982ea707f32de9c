#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::test {

// One row of the corpus MANIFEST.tsv.
struct CorpusFile {
    std::string path;     // relative to the corpus folder
    std::string format;   // e.g. "zip", "lha", "gzip+tar"
    std::string variant;  // details; contains "MALFORMED" for crafted, broken files
    bool malformed() const { return variant.find("MALFORMED") != std::string::npos; }
};

// One member of an archive as the independent extractors wrote it.
struct ExpectedMember {
    std::string path;  // "/" separators; undecodable bytes as \xNN
    char type = 'f';   // f file, d directory, l symbolic link
    std::int64_t size = 0;
    std::uint32_t crc32 = 0;
    std::string sha256;  // lower-case hex; empty for directories and links
    std::string target;  // what a link points to
};

struct ExpectedContents {
    std::string status;  // ok, ok-case, single, partial, disagree, empty, failed
    std::string password;
    std::vector<ExpectedMember> members;
    // Two extractors agreed on the contents.
    bool trusted() const { return status == "ok" || status == "ok-case"; }
};

// The rows of MANIFEST.tsv, or none when the corpus is absent.
std::vector<CorpusFile> ReadCorpusManifest();
// The expected contents of one corpus archive; nothing when there is no expected file.
std::optional<ExpectedContents> ReadExpectedContents(const std::string& corpus_path);

}  // namespace kv::test
