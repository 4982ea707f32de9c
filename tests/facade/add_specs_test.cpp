#include <gtest/gtest.h>

#include <set>

#include "facade/add_specs.h"

namespace kv::facade {
namespace {

// Folders of an imagined disk: /P/x, /P/y, /P/x/deep, /Q/z, and the relative folder "rel".
bool ImaginedFolder(const std::string& path) {
    static const std::set<std::string> folders{"/P/x", "/P/x/", "/P/y", "/P/x/deep", "/Q/z", "rel"};
    return folders.count(path) != 0;
}

TEST(AddSpecs, PlainFormTurnsFoldersIntoMasks) {
    EXPECT_EQ(PlainAddSpecs({"/P/x/", "/P/f.txt", "rel", "*.c"}, ImaginedFolder),
              (std::vector<std::string>{"/P/x/*.*", "/P/f.txt", "rel/*.*", "*.c"}));
}

TEST(AddSpecs, ZipFormRootsAndMarks) {
    struct Case {
        std::vector<std::string> paths;
        bool recurse;
        bool full_path;
        std::string root;
        std::vector<std::string> specs;
        bool drop_recurse;
    };
    const Case cases[] = {
        // One folder: its parent is the root, or with full paths no root at all.
        {{"/P/x"}, true, false, "/P/", {">x/*.*"}, false},
        {{"/P/x/"}, true, false, "/P/", {">x/*.*"}, false},
        {{"/P/x"}, true, true, "", {">/P/x/*.*"}, false},
        {{"/P/x"}, false, false, "/P/", {"x/*.*"}, false},
        // One file: its folder is the root and recursion is off from now on; a mask is searched.
        {{"/P/f.txt"}, true, false, "/P", {"|f.txt"}, true},
        {{"/P/*.txt"}, true, false, "/P", {">*.txt"}, true},
        {{"/P/f.txt"}, true, true, "", {"|/P/f.txt"}, false},
        {{"f.txt"}, false, false, "", {"f.txt"}, true},
        // Several paths: the longest common folder.
        {{"/P/x", "/P/y"}, true, false, "/P/", {">x/*.*", ">y/*.*"}, false},
        {{"/P/x", "/P/x/deep"}, true, false, "/P/x/", {">*.*", ">deep/*.*"}, false},
        {{"/P/x", "/P/f.txt"}, false, false, "/P/", {"x/*.*", "f.txt"}, false},
        {{"/P/x", "/Q/z"}, true, false, "/", {">P/x/*.*", ">Q/z/*.*"}, false},
        {{"rel", "other.txt"}, true, false, "", {">rel/*.*", "other.txt"}, false},
        // With full paths folder lines are still searched recursively.
        {{"/P/x", "/Q/z"}, true, true, "", {">/P/x/*.*", ">/Q/z/*.*"}, false},
    };
    for (const Case& c : cases) {
        const TZipAddSpecs specs = ZipAddSpecs(c.paths, c.recurse, c.full_path, ImaginedFolder);
        const std::string label = c.paths.front() + (c.paths.size() > 1 ? " +" + c.paths.back() : std::string()) +
                                  (c.recurse ? " recurse" : "") + (c.full_path ? " full" : "");
        EXPECT_EQ(specs.RootDir, c.root) << label;
        EXPECT_EQ(specs.Specs, c.specs) << label;
        EXPECT_EQ(specs.DropRecurse, c.drop_recurse) << label;
    }
}

}  // namespace
}  // namespace kv::facade
