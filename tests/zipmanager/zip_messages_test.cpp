// Message lookup (the process-wide handler first, then the built-in table, then the missing-text notice)
// and the formatting of texts that may come from a translator.
#include <gtest/gtest.h>

#include "support/zip_builder.h"
#include "zm_probe.h"

namespace kv {
namespace {

using test::TZipManagerProbe;

// Installs a process-wide lookup handler for one test and removes it afterwards.
class ScopedZipStrHandler {
public:
    explicit ScopedZipStrHandler(TZipStrEvent handler) { TZipManager::SetOnZipStr(std::move(handler)); }
    ~ScopedZipStrHandler() { TZipManager::SetOnZipStr(nullptr); }
    ScopedZipStrHandler(const ScopedZipStrHandler&) = delete;
    ScopedZipStrHandler& operator=(const ScopedZipStrHandler&) = delete;
};

TEST(ZipMessages, LooksUpTheHandlerThenTheTable) {
    EXPECT_EQ(ZipMessageText(11036), "This archive is not a valid Zip archive");
    EXPECT_EQ(ZipMessageText(11409), "*Loading Directory");
    EXPECT_EQ(ZipMessageText(10110), "Index (%d) outside range 1..%d");
    EXPECT_EQ(ZipMessageText(12345), "");

    const ScopedZipStrHandler handler([](int id, std::string& text) {
        EXPECT_EQ(text, "");  // asked with an empty string
        if (id == 11036) text = "Kein gültiges Zip-Archiv";
        if (id == 11409) text = "*Verzeichnis lesen";
    });
    EXPECT_EQ(ZipMessageText(11036), "Kein gültiges Zip-Archiv");
    EXPECT_EQ(ZipMessageText(11013), "Error while reading a central header");  // an empty answer falls back
}

TEST(ZipMessages, OneHandlerServesEveryManager) {
    const ScopedZipStrHandler handler([](int id, std::string& text) {
        if (id == 11036) text = "translated";
        if (id == 11409) text = "*translated step";
    });
    test::TempDir dir;
    test::WriteFile(dir / "bad.zip", "not a zip file at all, but long enough");
    test::WriteFile(dir / "good.zip", test::BuildZip({{.name = "a", .data = "x"}}));

    TZipManagerProbe first;
    EXPECT_EQ(first.Open(dir / "bad.zip"), 11036);
    EXPECT_EQ(first.zm.Message(), "translated");

    TZipManagerProbe second;
    std::vector<std::string> items;
    second.zm.OnItemProgress = [&](TObject*, const std::string& item, std::uint32_t, int) { items.push_back(item); };
    EXPECT_EQ(second.Open(dir / "good.zip"), 0);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front(), "*translated step");
}

TEST(ZipMessages, AnIdWithoutTextStillReportsItself) {
    TZipBase base;
    std::vector<std::pair<int, std::string>> messages;
    base.OnMessage = [&](TObject*, int code, const std::string& text) { messages.emplace_back(code, text); };
    base.ShowMessage(12345, " [more]");
    const std::string missing = "ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: 12345 ";
    EXPECT_EQ(base.ErrCode(), 12345);
    EXPECT_EQ(base.Message(), missing + " [more]");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, 12345);

    const EZipManager error(12345, 3);
    EXPECT_EQ(error.MessageId, 12345);
    EXPECT_NE(error.Message.find("12345"), std::string::npos);
    EXPECT_NE(error.Message.find(missing), std::string::npos);
}

TEST(ZipMessages, FormatsArgumentsAndCopiesWhatItCannotFill) {
    using Args = std::vector<TZipMessageArg>;
    struct Case {
        const char* text;
        Args args;
        std::string expected;
    };
    const Case cases[] = {
        {"Index (%d) outside range 1..%d", {std::int64_t{7}, std::int64_t{3}}, "Index (7) outside range 1..3"},
        {"Please insert disk volume %.1d of %.1d", {std::int64_t{2}, std::int64_t{5}},
         "Please insert disk volume 2 of 5"},
        {"Temporary zipfile: %s", {std::string("t.zip")}, "Temporary zipfile: t.zip"},
        {"100%% done", {}, "100% done"},
        {"missing %d and %s", {}, "missing %d and %s"},
        {"a text for a number %d", {std::string("text")}, "a text for a number %d"},
        {"a number for a text %s", {std::int64_t{1}}, "a number for a text %s"},
        {"unknown %x %n %p", {std::int64_t{1}}, "unknown %x %n %p"},
        {"ends with %", {std::int64_t{1}}, "ends with %"},
        {"precision only %.", {std::int64_t{1}}, "precision only %."},
        {"long precision %.99999999999999999999d", {std::int64_t{4}}, "long precision 4"},
        {"too many args %d", {std::int64_t{1}, std::int64_t{2}}, "too many args 1"},
        {"%s%s", {std::string("%d"), std::string("%s")}, "%d%s"},  // arguments are not formatted again
        {"", {std::int64_t{1}}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatZipMessage(c.text, c.args), c.expected) << c.text;
}

}  // namespace
}  // namespace kv
