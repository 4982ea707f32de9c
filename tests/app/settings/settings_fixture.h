#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/settings/kv_settings.h"
#include "support/config_env.h"
#include "support/test_support.h"

namespace kv::test {

// Configuration folders and a program folder inside a temporary folder.
class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() { std::filesystem::create_directories(ProgramFolder()); }

    std::filesystem::path ProgramFolder() const { return dir_ / "program"; }
    std::filesystem::path ProgramIni() const { return ProgramFolder() / "kavrel.ini"; }
    std::unique_ptr<TkvSettings> Create(const std::string& name = "kavrel") const {
        return std::make_unique<TkvSettings>(name, ProgramFolder().string());
    }

    TempDir dir_;
    ScopedConfigDirs config_{dir_.Path()};
};

}  // namespace kv::test
