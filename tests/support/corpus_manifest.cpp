#include "support/corpus_manifest.h"

#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace kv::test {
namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) fields.push_back(field);
    if (!line.empty() && line.back() == '\t') fields.emplace_back();
    return fields;
}

// "key=value" out of the "# tool=...; status=...; password=..." line.
std::string HeaderValue(const std::string& header, const std::string& key) {
    const std::string wanted = key + "=";
    std::size_t at = header.find(wanted);
    while (at != std::string::npos && at > 0 && header[at - 1] != ' ' && header[at - 1] != ';' && header[at - 1] != '#') {
        at = header.find(wanted, at + 1);
    }
    if (at == std::string::npos) return {};
    at += wanted.size();
    const std::size_t end = header.find(';', at);
    return header.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

}  // namespace

std::vector<CorpusFile> ReadCorpusManifest() {
    std::vector<CorpusFile> rows;
    const auto dir = CorpusDir();
    if (dir.empty()) return rows;
    std::ifstream in(dir / "MANIFEST.tsv");
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        const auto fields = SplitTabs(line);
        if (fields.size() < 3) continue;
        rows.push_back({fields[0], fields[1], fields[2]});
    }
    return rows;
}

std::optional<ExpectedContents> ReadExpectedContents(const std::string& corpus_path) {
    const auto dir = CorpusDir();
    if (dir.empty()) return std::nullopt;
    std::ifstream in(dir / "expected" / (corpus_path + ".tsv"));
    if (!in) return std::nullopt;
    ExpectedContents contents;
    std::string line;
    std::getline(in, line);
    contents.status = HeaderValue(line, "status");
    contents.password = HeaderValue(line, "password");
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        const auto fields = SplitTabs(line);
        if (fields.size() < 4 || fields[1].empty()) continue;
        ExpectedMember member;
        member.path = fields[0];
        member.type = fields[1][0];
        member.size = fields[2].empty() ? 0 : std::stoll(fields[2]);
        member.crc32 = fields[3].empty() ? 0 : static_cast<std::uint32_t>(std::stoul(fields[3], nullptr, 16));
        if (fields.size() > 4) member.sha256 = fields[4];
        if (fields.size() > 5) member.target = fields[5];
        contents.members.push_back(std::move(member));
    }
    return contents;
}

}  // namespace kv::test
