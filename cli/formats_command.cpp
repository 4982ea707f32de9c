#include "cli/formats_command.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/core/formats.h"
#include "engine/writers/format_capabilities.h"

namespace kv::cli {
namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
    return text.empty() ? "-" : text;
}

// The display name without the padding that fills it to ten characters.
std::string ShownName(const TFormat& format) {
    const std::string_view name = format.DisplayName;
    return std::string(name.substr(0, name.find_last_not_of(" \t") + 1));
}

std::vector<std::string> ExtensionsOf(const TFormat& format) {
    return {format.Extensions.begin(), format.Extensions.end()};
}

// One letter per capability, in the column order of the JSON form; "-" where it is missing.
std::string CapabilityLetters(const TFormatCapabilities& can) {
    const std::pair<bool, char> flags[] = {
        {can.List, 'l'},    {can.Extract, 'x'},        {can.Test, 't'},    {can.Add, 'a'},    {can.Delete, 'd'},
        {can.Convert, 'c'}, {can.SelfExtracting, 's'}, {can.Volumes, 'v'}, {can.Encrypt, 'e'}};
    std::string letters;
    for (const auto& [has, letter] : flags) letters += has ? letter : '-';
    return letters;
}

}  // namespace

CLI::App* AddFormatsCommand(CLI::App& app, FormatsOptions& options) {
    auto* formats =
        app.add_subcommand("formats",
                           "List every archive type this build knows and what it can do with it (l: list, x: extract, "
                           "t: test, a: add, d: delete, c: convert, s: self-extracting, v: volumes, e: encrypt)");
    formats->add_flag("--json", options.json,
                      "One JSON object per line: type, name, extensions, list, extract, test, add, delete, convert, "
                      "sfx, volumes, encrypt, methods");
    return formats;
}

int RunFormatsCommand(const FormatsOptions& options) {
    if (!options.json) std::printf("%-14s %-11s %-9s %-18s %s\n", "Type", "Name", "Can", "Extensions", "Methods");
    for (const TFormat& format : Formats()) {
        if (!IsKnownType(format.Type)) continue;
        const TFormatCapabilities can = CapabilitiesOfFormat(format.Type);
        const std::vector<std::string> methods = MethodNamesOf(format.Type);
        if (options.json) {
            const nlohmann::ordered_json object = {
                {"type", std::string(format.ValueName)},
                {"name", ShownName(format)},
                {"extensions", ExtensionsOf(format)},
                {"list", can.List},
                {"extract", can.Extract},
                {"test", can.Test},
                {"add", can.Add},
                {"delete", can.Delete},
                {"convert", can.Convert},
                {"sfx", can.SelfExtracting},
                {"volumes", can.Volumes},
                {"encrypt", can.Encrypt},
                {"methods", methods},
            };
            std::cout << object.dump() << '\n';
        } else {
            std::printf("%-14s %-11s %-9s %-18s %s\n", std::string(format.ValueName).c_str(),
                        ShownName(format).c_str(), CapabilityLetters(can).c_str(),
                        Joined(ExtensionsOf(format)).c_str(), Joined(methods).c_str());
        }
    }
    return 0;
}

}  // namespace kv::cli
