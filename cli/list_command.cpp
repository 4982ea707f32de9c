#include "cli/list_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <string>

#include "engine/core/date_time.h"
#include "engine/core/error_codes.h"
#include "engine/readers/arc_lister.h"
#include "platform/paths.h"

namespace kv::cli {
namespace {

std::string IsoDate(TDateTime value) {
    const TDateTimeParts p = DecodeDateTime(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour, p.Minute,
                  p.Second);
    return text;
}

// The MS-DOS attribute letters: directory, read-only, hidden, system, archive.
std::string AttributeLetters(std::uint32_t attributes) {
    std::string letters = "-----";
    if (attributes & 0x10) letters[0] = 'D';
    if (attributes & 0x01) letters[1] = 'R';
    if (attributes & 0x02) letters[2] = 'H';
    if (attributes & 0x04) letters[3] = 'S';
    if (attributes & 0x20) letters[4] = 'A';
    return letters;
}

std::string Hex8(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

bool IsDirectory(const TEntryRecord& entry) {
    return !entry.FileName.empty() && entry.FileName.back() == platform::kPathDelim;
}

void PrintTextLine(const TEntryRecord& e) {
    const std::string date = IsoDate(e.FileDate);
    std::printf("%12lld %12lld %4d%% %s %s %-10s %s %s %s%s\n", static_cast<long long>(e.UnpackedSize),
                static_cast<long long>(e.PackedSize), e.Ratio, date.substr(0, 10).c_str(), date.substr(11).c_str(),
                e.CompressMethodName.c_str(), Hex8(e.FileCRC).c_str(), AttributeLetters(e.ExternalAttr).c_str(),
                e.Encrypted ? "*" : "", e.FileName.c_str());
}

}  // namespace

CLI::App* AddListCommand(CLI::App& app, ListOptions& options) {
    auto* list = app.add_subcommand("l", "List the entries of an archive (name, size, packed size, ratio, date, "
                                         "method, CRC, attributes; '*' marks an enciphered entry) and totals");
    list->add_option("archive", options.archive, "The archive")->required();
    list->add_option("masks", options.masks, "Only entries matching these masks (* and ?)");
    list->add_flag("--json", options.json,
                   "One JSON object: archive, type, entries (name, size, packed, crc, method, date, attributes, "
                   "encrypted, dir) and totals");
    return list;
}

int RunListCommand(const ListOptions& options) {
    TArcLister lister;
    lister.OnError = [&](TObject*, const std::string&, const std::string& extended, const std::string&, int code) {
        std::cerr << "kv: " << options.archive << ": " << LoadStr(code) << (extended.empty() ? "" : " (" + extended + ")")
                  << '\n';
    };
    // Volumes that lie beside the archive are followed without asking; a missing one ends the listing.
    lister.OnNextVolume = [](TObject*, std::string&, int, bool exists, bool& cancel) { cancel = !exists; };
    // An archive without a usable central directory is listed from its local headers.
    lister.OnCorruptZipHeader = [&](TObject*, THeaderTypeState, bool& cancel) {
        std::cerr << "kv: " << options.archive << ": no central directory; listing the local headers\n";
        cancel = false;
    };
    lister.ShowEmptyDirs = true;
    lister.FileSpec = options.masks.empty() ? std::vector<std::string>{"*.*"} : options.masks;
    lister.SetArchiveFile(options.archive);
    if (lister.ArchiveFile().empty() || !IsKnownType(lister.ArcType())) {
        const int code = lister.ArchiveFile().empty() ? ecode::kFileNotFound : ecode::kUnknownFileType;
        std::cerr << "kv: " << options.archive << ": " << LoadStr(code) << '\n';
        return 2;
    }

    nlohmann::json entries = nlohmann::json::array();
    if (!options.json) {
        std::printf("Archive: %s (%s)\n", options.archive.c_str(), std::string(ArcTypeValueName(lister.ArcType())).c_str());
        std::printf("%12s %12s %5s %-10s %-8s %-10s %-8s %-5s %s\n", "Size", "Packed", "Ratio", "Date", "Time", "Method",
                    "CRC", "Attr", "Name");
    }
    lister.OnRead = [&](TObject*, int, int) {
        const TEntryRecord& e = lister.Entry();
        if (!options.json) {
            PrintTextLine(e);
            return;
        }
        std::string name = e.FileName;
        const bool dir = IsDirectory(e) || (e.ExternalAttr & 0x10) != 0;
        if (IsDirectory(e)) name.pop_back();
        entries.push_back({{"name", name}, {"size", e.UnpackedSize}, {"packed", e.PackedSize}, {"crc", Hex8(e.FileCRC)},
                           {"method", e.CompressMethodName}, {"date", IsoDate(e.FileDate)},
                           {"attributes", e.ExternalAttr}, {"encrypted", e.Encrypted}, {"dir", dir}});
    };
    nlohmann::json totals;
    lister.OnTotals = [&](TObject*, std::int64_t unpacked, std::int64_t packed, int ratio, int files) {
        totals = {{"size", unpacked}, {"packed", packed}, {"ratio", ratio}, {"files", files}};
        if (!options.json) {
            std::printf("%12lld %12lld %4d%% %d %s\n", static_cast<long long>(unpacked), static_cast<long long>(packed),
                        ratio, files, files == 1 ? "file" : "files");
        }
    };
    if (!lister.Activate()) return 2;
    if (options.json) {
        const nlohmann::json listing = {{"archive", options.archive},
                                        {"type", std::string(ArcTypeValueName(lister.ArcType()))},
                                        {"entries", std::move(entries)},
                                        {"totals", std::move(totals)}};
        std::cout << listing.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace kv::cli
