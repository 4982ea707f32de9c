#pragma once

// How a tree that kv or a reader extracted from a corpus archive compares with the members the independent
// extractors wrote.
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "engine/core/text_case.h"
#include "support/corpus_family.h"
#include "support/file_digest.h"
#include "support/test_support.h"

namespace kv::test {

namespace fs = std::filesystem;

// What differs between the extracted tree and the expected members ("" when nothing does). The extractors'
// \xNN bytes are read as the lister reads names in no declared character set.
inline std::string CompareTree(const fs::path& destination, const ExpectedContents& expected, bool ignore_case) {
    const auto key = [&](std::string name) { return ignore_case ? UpperCaseText(name) : name; };
    std::map<std::string, const ExpectedMember*> wanted;
    for (const ExpectedMember& member : expected.members)
        wanted[key(ExpectedNameAsListed(member.path))] = &member;
    std::string differences;
    std::set<std::string> seen;
    for (auto it = fs::recursive_directory_iterator(destination); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().lexically_relative(destination).generic_string();
        const auto found = wanted.find(key(name));
        if (found == wanted.end()) {
            // Folders of members the archive stores without a folder entry are made on the way.
            if (!it->is_directory() || it->is_symlink()) differences += "unexpected " + name + "\n";
            continue;
        }
        seen.insert(found->first);
        const ExpectedMember& member = *found->second;
        if (member.type == 'l') {
            if (!it->is_symlink() || fs::read_symlink(it->path()).string() != member.target)
                differences += name + ": not a link to " + member.target + "\n";
        } else if (it->is_symlink()) {
            differences += name + ": a link\n";
        } else if (member.type == 'd') {
            if (!it->is_directory()) differences += name + ": not a folder\n";
        } else if (!it->is_regular_file()) {
            differences += name + ": not a file\n";
        } else {
            const FileDigest digest = DigestOf(it->path());
            if (digest.size != member.size) differences += name + ": size " + std::to_string(digest.size) + "\n";
            else if (digest.crc32 != member.crc32) differences += name + ": crc differs\n";
            else if (digest.sha256 != member.sha256) differences += name + ": sha-256 differs\n";
        }
    }
    for (const auto& [name, member] : wanted)
        if (seen.count(name) == 0) differences += "missing " + member->path + "\n";
    return differences;
}

// What is wrong with an archive listed as differing for a reason ("" when its differences fit the reason),
// or nothing when it is not listed.
using TKnownJudge = std::function<std::optional<std::string>(const std::string& archive, const std::string& differences)>;

// The judge of a list of archives, each with its reason: a listed archive must differ somehow.
inline TKnownJudge ListedWithReasons(std::map<std::string, std::string> known) {
    return [known = std::move(known)](const std::string& archive,
                                      const std::string& differences) -> std::optional<std::string> {
        const auto it = known.find(archive);
        if (it == known.end()) return std::nullopt;
        return differences.empty() ? "is listed as known (" + it->second + ") but matches\n" : "";
    };
}

struct TCorpusComparison {
    std::string failures;  // "== archive" and what is wrong, for every archive that failed
    int compared = 0;      // archives compared that are not listed as differing
};

// Extracts every trusted, well-formed corpus archive that `take` accepts into a fresh folder (`extract`
// gives what it reported) and compares the tree with the members the extractors wrote.
inline TCorpusComparison CompareTrustedExtractions(
    const std::function<bool(const CorpusFile& row)>& take,
    const std::function<std::string(const fs::path& archive, const fs::path& destination, const ExpectedContents&)>&
        extract,
    const TKnownJudge& known) {
    TCorpusComparison result;
    for (const CorpusFile& row : ReadCorpusManifest()) {
        if (row.malformed() || !take(row)) continue;
        const auto expected = ReadExpectedContents(row.path);
        if (!expected || !expected->trusted()) continue;
        TempDir destination;
        const std::string reported = extract(CorpusDir() / row.path, destination.Path(), *expected);
        const std::string differences =
            reported + CompareTree(destination.Path(), *expected, expected->status == "ok-case");
        if (const std::optional<std::string> wrong = known(row.path, differences)) {
            if (!wrong->empty()) result.failures += "== " + row.path + " " + *wrong;
            continue;
        }
        if (!differences.empty()) result.failures += "== " + row.path + "\n" + differences;
        ++result.compared;
    }
    return result;
}

}  // namespace kv::test
