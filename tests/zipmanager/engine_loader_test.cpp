// Finding, loading, version-checking and unloading the engine libraries, and what their job results mean.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_engine.h"
#include "support/zip_builder.h"
#include "zm_probe.h"

namespace kv {
namespace {

using test::FakeEngines;

class EngineLoader : public ::testing::Test {
protected:
    void SetUp() override {
        probe_.zm.SetDLLDirectory(FakeEngines::Directory());
        probe_.zm.SetZipFileName((dir_ / "new.zip").string());
        probe_.zm.FSpecArgs().Add("file.txt");
    }
    int Add() { return probe_.zm.Add(); }

    test::TempDir dir_;
    FakeEngines fake_;
    test::TZipManagerProbe probe_;
};

TEST_F(EngineLoader, AcceptsVersions153To300AndUnloadsOthersWith10651) {
    const std::string path = FakeEngines::Directory() + "/libzipeng.so";
    for (const int version : {152, 301, 0, 153, 176, 300}) {
        SCOPED_TRACE(version);
        fake_.ClearLog(FakeEngines::Zip);
        probe_.Messages.clear();
        fake_.Script(FakeEngines::Zip, {"version\t" + std::to_string(version)});
        Add();
        const bool accepted = version >= 176 && version <= 300;
        if (accepted) {
            EXPECT_EQ(probe_.zm.ErrCode(), 0);
            EXPECT_EQ(fake_.Lines(FakeEngines::Zip, "zip ").size(), 1u);
        } else {
            EXPECT_EQ(probe_.zm.ErrCode(), 10651);
            EXPECT_EQ(probe_.zm.Message(), "Unable to load " + path + " - It is old or corrupt");
            EXPECT_TRUE(fake_.Lines(FakeEngines::Zip, "zip ").empty());
        }
        // Loaded for the operation only, whatever the outcome.
        ASSERT_FALSE(fake_.Log(FakeEngines::Zip).empty());
        EXPECT_EQ(fake_.Log(FakeEngines::Zip).front(), "load");
        EXPECT_EQ(fake_.Log(FakeEngines::Zip).back(), "unload");
    }
}

TEST_F(EngineLoader, Version175LoadsButNoJobRunsOnIt) {
    fake_.Script(FakeEngines::Zip, {"version\t175"});
    probe_.zm.SetVerbose(true);
    Add();
    EXPECT_EQ(probe_.zm.ErrCode(), 10651);
    EXPECT_TRUE(fake_.Lines(FakeEngines::Zip, "zip ").empty());
    // It passed the loading check (and said so) before the job's own check refused it.
    const std::string path = FakeEngines::Directory() + "/libzipeng.so";
    EXPECT_NE(std::find(probe_.Messages.begin(), probe_.Messages.end(), std::pair<int, std::string>{0, "Loaded " + path}),
              probe_.Messages.end());
    EXPECT_NE(std::find(probe_.Messages.begin(), probe_.Messages.end(),
                        std::pair<int, std::string>{0, "Unloaded " + path}),
              probe_.Messages.end());
}

TEST_F(EngineLoader, AMissingLibraryFailsWith10650AndItsName) {
    probe_.zm.SetDLLDirectory((dir_ / "empty").string());
    std::filesystem::create_directory(dir_ / "empty");
    Add();
    // The folder lacks the file: the system's search takes the bare name, and finds nothing either.
    EXPECT_EQ(probe_.zm.ErrCode(), 10650);
    EXPECT_EQ(probe_.zm.Message(), "Failed to load libzipeng.so");

    probe_.zm.SetDLLDirectory("");
    probe_.zm.FSpecArgs().Clear();
    probe_.zm.FSpecArgs().Add("x");
    test::WriteFile(dir_ / "a.zip", test::BuildZip({{.name = "a", .data = "x"}}));
    probe_.Open(dir_ / "a.zip");
    probe_.zm.Extract();
    EXPECT_EQ(probe_.zm.ErrCode(), 10650);
    EXPECT_EQ(probe_.zm.Message(), "Failed to load libunzeng.so");
}

TEST_F(EngineLoader, ADirectoryWithoutTheFileLeavesTheSearchToTheSystem) {
    // A library the system already holds under its name is what the search finds.
    void* held = ::dlopen((FakeEngines::Directory() + "/libzipeng.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(held, nullptr) << ::dlerror();
    std::filesystem::create_directory(dir_ / "empty");
    probe_.zm.SetDLLDirectory((dir_ / "empty").string());
    Add();
    EXPECT_EQ(probe_.zm.ErrCode(), 0) << probe_.zm.Message();
    EXPECT_EQ(fake_.Lines(FakeEngines::Zip, "zip ").size(), 1u);
    ::dlclose(held);
}

TEST_F(EngineLoader, ADirectoryStartingWithADotIsTakenFromTheProgramsFolder) {
    // The fake libraries lie in fake_engines/ beside the test program.
    probe_.zm.SetDLLDirectory("./fake_engines");
    probe_.zm.SetVerbose(true);
    Add();
    EXPECT_EQ(probe_.zm.ErrCode(), 0) << probe_.zm.Message();
    ASSERT_EQ(fake_.Lines(FakeEngines::Zip, "zip ").size(), 1u);
    bool named = false;
    for (const auto& [code, text] : probe_.Messages)
        named = named || (code == 0 && text.rfind("Loaded ", 0) == 0 && text.find("/./fake_engines/libzipeng.so") != std::string::npos);
    EXPECT_TRUE(named);
}

TEST_F(EngineLoader, MapsNegativeJobResultsToTheirMessages) {
    struct Case {
        int result;
        int id;
        const char* text;
    };
    const Case cases[] = {
        {-1, 10118, "DLL Error - Aborting"},
        {-2, 10118, "DLL Error - Aborting"},
        {-3, 10119, "DLL Error - Busy"},
        {-4, 10120, "DLL Error - User Cancelled"},
        {-5, 10121, "DLL Error - Not enough memory"},
        {-6, 10122, "DLL Error - Invalid structure"},
        {-7, 10124, "critical DLL Error -7"},
        {-8, 10123, "DLL Error - Exception in handler "},
        {-9, 10124, "critical DLL Error -9"},
        {-100000, 10124, "critical DLL Error -100000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        fake_.Script(FakeEngines::Zip, {"result\t" + std::to_string(c.result)});
        EXPECT_EQ(Add(), c.id);
        EXPECT_EQ(probe_.zm.Message(), c.text);
        EXPECT_EQ(probe_.zm.SuccessCount(), 0);
    }
    fake_.Script(FakeEngines::Zip, {"result\t3"});
    EXPECT_EQ(Add(), 0);
    EXPECT_EQ(probe_.zm.SuccessCount(), 3);
}

}  // namespace
}  // namespace kv
