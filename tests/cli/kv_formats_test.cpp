#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>

#include "cli/kv_program.h"
#include "engine/core/formats.h"
#include "engine/writers/format_capabilities.h"
#include "support/test_support.h"

namespace kv {
namespace {

// `kv formats --json` shows each known type once, with the table's names, extensions, methods and the
// capabilities the registered engines give it.
TEST(KvFormats, JsonShowsEveryKnownTypeAsTheTableHasIt) {
    std::string out;
    ASSERT_EQ(test::RunCommand(test::Kv() + " formats --json", &out), 0) << out;
    std::istringstream lines(out);
    std::set<std::string> shown;
    for (std::string line; std::getline(lines, line);) {
        const auto object = nlohmann::json::parse(line);
        const std::string type = object["type"];
        ASSERT_TRUE(shown.insert(type).second) << type << " shown twice";
        const TFormat* format = nullptr;
        for (const TFormat& row : Formats())
            if (row.ValueName == type) format = &row;
        ASSERT_NE(format, nullptr) << type;
        ASSERT_TRUE(IsKnownType(format->Type)) << type;

        const TFormatCapabilities can = CapabilitiesOfFormat(format->Type);
        const std::pair<const char*, bool> columns[] = {
            {"list", can.List},      {"extract", can.Extract}, {"test", can.Test},          {"add", can.Add},
            {"delete", can.Delete},  {"convert", can.Convert}, {"sfx", can.SelfExtracting}, {"volumes", can.Volumes},
            {"encrypt", can.Encrypt}};
        for (const auto& [column, value] : columns) EXPECT_EQ(object[column], value) << type << " " << column;
        // The ten-character display name, without its padding.
        const std::string_view display = format->DisplayName;
        EXPECT_EQ(object["name"], std::string(display.substr(0, display.find_last_not_of(" \t") + 1))) << type;
        EXPECT_EQ(object["extensions"].size(), format->Extensions.size()) << type;
        EXPECT_EQ(object["methods"], nlohmann::json(MethodNamesOf(format->Type))) << type;
    }
    for (const TFormat& row : Formats())
        EXPECT_EQ(shown.contains(std::string(row.ValueName)), IsKnownType(row.Type)) << row.ValueName;

    // A few rows as a user reads them.
    std::string text;
    ASSERT_EQ(test::RunCommand(test::Kv() + " formats", &text), 0);
    EXPECT_NE(text.find("atZip          ZIP         lxtad--ve zip,pk3"), std::string::npos) << text;
    EXPECT_NE(text.find("atRar          RAR         l------v- rar "), std::string::npos) << text;
    EXPECT_NE(text.find("atTarGZip      TarGzip     ---ad---- tar.gz,tgz"), std::string::npos) << text;
}

}  // namespace
}  // namespace kv
