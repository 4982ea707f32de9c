#include "cli/list_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/charset_option.h"
#include "engine/core/date_time.h"
#include "engine/core/error_codes.h"
#include "engine/core/entry_selection.h"
#include "engine/core/percent.h"
#include "facade/kv_comp.h"
#include "platform/file_attributes_linux.h"
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

bool IsDirectory(const facade::TArcEntry& entry) {
    return (!entry.FileName.empty() && entry.FileName.back() == platform::kPathDelim) ||
           (entry.Attributes & platform::kFaDirectory) != 0;
}

void PrintTextLine(const facade::TArcEntry& e) {
    const std::string date = IsoDate(e.DateTime);
    std::printf("%12lld %12lld %4d%% %s %s %s %s %s%s\n", static_cast<long long>(e.Size),
                static_cast<long long>(e.PackedSize), e.Ratio, date.substr(0, 10).c_str(), date.substr(11).c_str(),
                Hex8(static_cast<std::uint32_t>(e.CRC)).c_str(), AttributeLetters(e.Attributes).c_str(),
                e.Encrypted ? "*" : "", e.FileName.c_str());
}

struct TListTotals {
    std::int64_t size = 0;
    std::int64_t packed = 0;
    int ratio = 0;
    std::int64_t files = 0;
};

}  // namespace

CLI::App* AddListCommand(CLI::App& app, ListOptions& options) {
    auto* list = app.add_subcommand("l", "List the entries of an archive (size, packed size, ratio, date, CRC, "
                                         "attributes, name; '*' marks an enciphered entry) and totals");
    list->add_option("archive", options.archive, "The archive")->required();
    list->add_option("masks", options.masks, "Only entries matching these masks (* and ?)");
    list->add_flag("--json", options.json,
                   "One JSON object: archive, type, entries (name, size, packed, ratio, crc, date, attributes, "
                   "encrypted, dir) and totals");
    AddCharsetOption(*list, options.charset);
    list->footer("Example: kv l photos.zip '2024/*.jpg'");
    return list;
}

int RunListCommand(const ListOptions& options) {
    facade::TkvComp comp;
    bool failed = false;
    comp.OnMessage = [&](TObject*, int code, const std::string& text) {
        if (code == 0) return;
        failed = true;
        std::cerr << "kv: " << options.archive << ": " << text << '\n';
    };
    comp.SetDisplayDirs(true);
    if (!UseCharset(comp, options.charset)) return 2;
    // A compressed TAR is listed as the TAR it holds, read as it is decoded; a GZIP file with all its members.
    comp.ListDecoded = true;
    if (!comp.Open(options.archive)) return 2;
    if (!IsKnownType(comp.ArcType())) {
        std::cerr << "kv: " << options.archive << ": " << LoadStr(ecode::kUnknownFileType) << '\n';
        return 2;
    }
    if (failed && comp.Entries().empty()) return 2;
    std::vector<const facade::TArcEntry*> shown;
    TListTotals totals{comp.ArcSize(), comp.ArcPacked(), comp.ArcRatio(), comp.ArcEntryCount()};
    if (options.masks.empty()) {
        for (const facade::TArcEntry& e : comp.Entries()) shown.push_back(&e);
    } else {
        totals = {};
        for (const facade::TArcEntry& e : comp.Entries()) {
            if (!ListerSelects(e.FileName, options.masks, {}, {})) continue;
            shown.push_back(&e);
            totals.size += e.Size;
            totals.packed += e.PackedSize;
            ++totals.files;
        }
        totals.ratio = Ratio(totals.size, totals.packed);
    }
    for (const facade::TArcEntry* e : shown) {
        if (facade::IsTraversalName(e->FileName))
            std::cerr << "kv: " << options.archive << ": " << e->FileName
                      << ": unsafe name (it would lead out of the extraction folder)\n";
    }

    const std::string type(ArcTypeValueName(comp.ArcType()));
    if (!options.json) {
        std::printf("Archive: %s (%s)\n", options.archive.c_str(), type.c_str());
        std::printf("%12s %12s %5s %-10s %-8s %-8s %-5s %s\n", "Size", "Packed", "Ratio", "Date", "Time", "CRC", "Attr",
                    "Name");
        for (const facade::TArcEntry* e : shown) PrintTextLine(*e);
        std::printf("%12lld %12lld %4d%% %lld %s\n", static_cast<long long>(totals.size),
                    static_cast<long long>(totals.packed), totals.ratio, static_cast<long long>(totals.files),
                    totals.files == 1 ? "file" : "files");
        std::fflush(stdout);
        return 0;
    }
    nlohmann::json entries = nlohmann::json::array();
    for (const facade::TArcEntry* e : shown) {
        std::string name = e->FileName;
        if (!name.empty() && name.back() == platform::kPathDelim) name.pop_back();
        entries.push_back({{"name", name}, {"size", e->Size}, {"packed", e->PackedSize}, {"ratio", e->Ratio},
                           {"crc", Hex8(static_cast<std::uint32_t>(e->CRC))}, {"date", IsoDate(e->DateTime)},
                           {"attributes", e->Attributes}, {"encrypted", e->Encrypted}, {"dir", IsDirectory(*e)}});
    }
    const nlohmann::json listing = {
        {"archive", options.archive},
        {"type", type},
        {"entries", std::move(entries)},
        {"totals", {{"size", totals.size}, {"packed", totals.packed}, {"ratio", totals.ratio}, {"files", totals.files}}}};
    std::cout << listing.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    std::fflush(stdout);
    return 0;
}

}  // namespace kv::cli
