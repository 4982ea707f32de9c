#include "cli/info_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <string>

#include "engine/core/error_codes.h"
#include "facade/arc_capabilities.h"
#include "facade/kv_comp.h"
#include "platform/paths.h"

namespace kv::cli {
namespace {

const char* const kFlagNames[] = {"htLocal", "htCentral", "htEnding", "htLocator", "htEnding64", "htSfx"};

std::string FlagList(THeaderTypeState flags) {
    std::string names;
    for (int bit = 0; bit < 6; ++bit) {
        if (!flags.Has(static_cast<THeaderType>(bit))) continue;
        if (!names.empty()) names += ',';
        names += kFlagNames[bit];
    }
    return names.empty() ? "-" : names;
}

std::string LetterText(char letter) { return letter == 0 ? std::string() : std::string(1, letter); }

// "a" entries can be added, "x" extracted, "s" a self-extractor, "v" may span volumes.
std::string CapabilityLetters(const facade::TArcCapabilities& can) {
    std::string letters = "----";
    if (can.Compressable) letters[0] = 'a';
    if (can.Decompressable) letters[1] = 'x';
    if (can.SFX) letters[2] = 's';
    if (can.Spannable) letters[3] = 'v';
    return letters;
}

}  // namespace

CLI::App* AddInfoCommand(CLI::App& app, InfoOptions& options) {
    auto* info = app.add_subcommand(
        "i", "Tell each file's archive type (from its contents), start offset, ZIP layout flags, volume number and "
             "letter, and what can be done with it (a: add, x: extract, s: self-extracting, v: volumes)");
    info->add_option("files", options.files, "Files to examine")->required();
    info->add_flag("--json", options.json,
                   "One JSON object per line: file, type, name, offset, flags, volume, letter, compressable, "
                   "decompressable, sfx, spannable");
    info->footer("Example: kv i --json downloads/*");
    return info;
}

int RunInfoCommand(const InfoOptions& options) {
    int status = 0;
    if (!options.json)
        std::printf("%-11s %12s  %-45s %6s %-6s %-4s %s\n", "Type", "Offset", "ZIP layout", "Volume", "Letter", "Can",
                    "File");
    for (const std::string& file : options.files) {
        facade::TkvComp comp;
        comp.OnMessage = [&file](TObject*, int, const std::string& text) {
            std::cerr << "kv: " << file << ": " << text << '\n';
        };
        const auto detection = comp.Detect(file);
        if (!detection) {
            std::cerr << "kv: " << file << ": " << LoadStr(platform::DirectoryExists(file) ? ecode::kErrorOpeningFile : ecode::kFileNotFound) << '\n';
            status = 2;
            continue;
        }
        const TArcDetection& d = *detection;
        const facade::TArcCapabilities can = facade::CapabilitiesOf(d.ArcType);
        if (options.json) {
            const nlohmann::json object = {
                {"file", file},
                {"type", std::string(ArcTypeValueName(d.ArcType))},
                {"name", std::string(ArcTypeDisplayName(d.ArcType))},
                {"offset", d.ArcStartOffset},
                {"flags", d.ZipLayoutFlags.Bits()},
                {"volume", d.VolumeNumber},
                {"letter", LetterText(d.VolumeLetter)},
                {"compressable", can.Compressable},
                {"decompressable", can.Decompressable},
                {"sfx", can.SFX},
                {"spannable", can.Spannable},
            };
            std::cout << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        } else {
            std::printf("%-11s %12lld  0x%02X %-40s %6d %-6s %-4s %s\n", std::string(ArcTypeDisplayName(d.ArcType)).c_str(),
                        static_cast<long long>(d.ArcStartOffset), d.ZipLayoutFlags.Bits(),
                        FlagList(d.ZipLayoutFlags).c_str(), d.VolumeNumber, LetterText(d.VolumeLetter).c_str(),
                        CapabilityLetters(can).c_str(), file.c_str());
        }
    }
    std::fflush(stdout);
    return status;
}

}  // namespace kv::cli
