#include "cli/info_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <string>

#include "engine/core/error_codes.h"
#include "engine/core/zip_common.h"
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

}  // namespace

CLI::App* AddInfoCommand(CLI::App& app, InfoOptions& options) {
    auto* info = app.add_subcommand(
        "i", "Tell each file's archive type (from its contents), start offset, ZIP layout flags, volume number and letter");
    info->add_option("files", options.files, "Files to examine")->required();
    info->add_flag("--json", options.json,
                   "One JSON object per line: file, type, name, offset, flags, volume, letter");
    return info;
}

int RunInfoCommand(const InfoOptions& options) {
    int status = 0;
    if (!options.json) std::printf("%-11s %12s  %-45s %6s %-6s %s\n", "Type", "Offset", "ZIP layout", "Volume", "Letter", "File");
    for (const std::string& file : options.files) {
        TZipCommon engine;
        std::string current = file;
        engine.OnError = [&current](TObject*, const std::string&, const std::string& extended, const std::string&, int code) {
            std::cerr << "kv: " << current << ": " << LoadStr(code) << (extended.empty() ? "" : " (" + extended + ")") << '\n';
        };
        engine.SetArchiveFile(file);
        if (engine.ArchiveFile().empty()) {
            std::cerr << "kv: " << file << ": " << LoadStr(platform::DirectoryExists(file) ? ecode::kErrorOpeningFile : ecode::kFileNotFound) << '\n';
            status = 2;
            continue;
        }
        const TArcDetection& d = engine.Detection();
        if (options.json) {
            const nlohmann::json object = {
                {"file", file},
                {"type", std::string(ArcTypeValueName(d.ArcType))},
                {"name", std::string(engine.GetArcTypeName())},
                {"offset", d.ArcStartOffset},
                {"flags", d.ZipLayoutFlags.Bits()},
                {"volume", d.VolumeNumber},
                {"letter", LetterText(d.VolumeLetter)},
            };
            std::cout << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        } else {
            std::printf("%-11s %12lld  0x%02X %-40s %6d %-6s %s\n", std::string(engine.GetArcTypeName()).c_str(),
                        static_cast<long long>(d.ArcStartOffset), d.ZipLayoutFlags.Bits(),
                        FlagList(d.ZipLayoutFlags).c_str(), d.VolumeNumber, LetterText(d.VolumeLetter).c_str(),
                        file.c_str());
        }
    }
    std::fflush(stdout);
    return status;
}

}  // namespace kv::cli
