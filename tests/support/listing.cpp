#include "support/listing.h"

#include <map>
#include <sstream>

#include "platform/paths.h"
#include "support/test_support.h"

namespace kv::test {

Listing ListArchive(const std::string& path, const std::function<void(TArcLister&)>& prepare) {
    Listing result;
    TArcLister lister;
    lister.ShowEmptyDirs = true;
    lister.FileSpec = {"*.*"};  // as the facade sets it
    lister.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        result.errors.push_back(code);
    };
    lister.OnRead = [&](TObject*, int offset, int) {
        result.entries.push_back(lister.Entry());
        result.offsets.push_back(offset);
    };
    lister.OnTotals = [&](TObject*, std::int64_t unpacked, std::int64_t packed, int, int files) {
        result.total_unpacked = unpacked;
        result.total_packed = packed;
        result.total_files = files;
    };
    lister.SetArchiveFile(path);
    if (prepare) prepare(lister);
    result.type = lister.ArcType();
    result.activated = lister.Activate();
    return result;
}

std::string CompareWithExpected(const Listing& listing, const ExpectedContents& expected, bool compare_crc) {
    std::map<std::string, const ExpectedMember*> wanted;
    for (const auto& member : expected.members) {
        if (member.type == 'f') wanted[member.path] = &member;
    }
    std::ostringstream differences;
    std::map<std::string, bool> seen;
    for (const auto& entry : listing.entries) {
        if (!entry.FileName.empty() && entry.FileName.back() == platform::kPathDelim) continue;
        if ((entry.ExternalAttr & 0x10) != 0) continue;
        const auto it = wanted.find(entry.FileName);
        if (it == wanted.end()) {
            differences << "listed but not expected: " << entry.FileName << "\n";
            continue;
        }
        seen[entry.FileName] = true;
        if (entry.UnpackedSize != it->second->size) {
            differences << entry.FileName << ": size " << entry.UnpackedSize << ", expected " << it->second->size << "\n";
        }
        if (compare_crc && entry.FileCRC != it->second->crc32) {
            differences << entry.FileName << ": crc " << std::hex << entry.FileCRC << ", expected " << it->second->crc32
                        << std::dec << "\n";
        }
    }
    for (const auto& [name, member] : wanted) {
        if (!seen.count(name)) differences << "expected but not listed: " << name << "\n";
    }
    return differences.str();
}

std::vector<std::string> Names(const Listing& listing) {
    std::vector<std::string> names;
    for (const auto& entry : listing.entries) names.push_back(entry.FileName);
    return names;
}

Listing ListBytes(const std::filesystem::path& dir, const std::string& file, const std::string& bytes,
                  const std::function<void(TArcLister&)>& prepare) {
    const auto path = dir / file;
    WriteFile(path, bytes);
    return ListArchive(path.string(), prepare);
}

}  // namespace kv::test
