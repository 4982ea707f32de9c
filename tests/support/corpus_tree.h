#pragma once

// How a tree that kv or a reader extracted from a corpus archive compares with the members the independent
// extractors wrote.
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "engine/core/text_case.h"
#include "support/corpus_family.h"
#include "support/file_digest.h"

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

}  // namespace kv::test
