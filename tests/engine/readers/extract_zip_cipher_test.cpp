// The ZIP reader's ciphers and its whole-buffer inflate: WinZip AES entries (AE-1 and AE-2, each key
// length, stored and deflated) extract with the right password, a wrong one is refused like a wrong classic
// password, damaged data fails the entry's check; a classic-cipher password asked for after a wrong one
// still opens its entry; inflating in one call writes what streaming writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/crc.h"
#include "engine/core/zip_aes.h"
#include "engine/core/zip_cipher.h"
#include "engine/readers/un_zip.h"
#include "support/raw_deflate.h"
#include "support/reader_run.h"
#include "support/sample_data.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

using test::NumberedLines;

// An AES member laid out as WinZip writes it: salt, verifier, enciphered data, authentication code.
test::ZipMember AesMember(const std::string& name, const std::string& text, int version, int strength,
                          std::uint16_t method, const std::string& password = "secret") {
    std::string data = method == 8 ? test::RawDeflate(text) : text;
    const std::vector<std::uint8_t> salt = MakeAesSalt(strength);
    TZipAesCipher cipher(password, salt.data(), strength);
    cipher.Encrypt(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    const auto code = cipher.AuthCode();
    std::string packed(salt.begin(), salt.end());
    packed.append(cipher.Verifier().begin(), cipher.Verifier().end());
    packed += data;
    packed.append(code.begin(), code.end());
    const auto extra = MakeAesExtra({static_cast<std::uint16_t>(version), strength, method});
    return {.name = name, .data = text, .packed = packed, .flags = 1, .method = kAesMethod,
            .central_extra = std::string(extra.begin(), extra.end())};
}

// Where BuildZip puts the packed data of members[k].
std::size_t DataAt(const std::vector<test::ZipMember>& members, std::size_t k) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < k; ++i) at += 30 + members[i].name.size() + members[i].packed.size();
    return at + 30 + members[k].name.size();
}

std::vector<test::ZipMember> AesMembers() {
    return {AesMember("ae1-128-stored.txt", NumberedLines(50), 1, 1, 0),
            AesMember("ae2-192-deflated.txt", NumberedLines(3000), 2, 2, 8),
            AesMember("ae1-256-deflated.txt", NumberedLines(20000), 1, 3, 8),
            AesMember("ae2-256-empty.txt", "", 2, 3, 8),
            {.name = "plain.txt", .data = "not enciphered\n"}};
}

TEST(ExtractZipAes, EveryKeyLengthAndVersionExtractsAndTestsWithItsPassword) {
    test::TempDir dir;
    const std::vector<test::ZipMember> members = AesMembers();
    test::WriteFile(dir / "aes.zip", test::BuildZip(members));
    EXPECT_EQ(test::ExtractWithReader(dir / "aes.zip", atZip, dir / "out", "secret"), "");
    for (const test::ZipMember& member : members)
        EXPECT_TRUE(test::ReadFile(dir / "out" / member.name) == member.data) << member.name;

    TUnZip reader;
    reader.SetArchiveFile((dir / "aes.zip").string());
    reader.FileSpec = {"*.*"};
    reader.Passwords = {"other", "secret"};  // found among the lines
    int failed = 0;
    reader.OnEnd = [&](TObject*, const std::string&, bool pass) { failed += pass ? 0 : 1; };
    EXPECT_EQ(reader.TestArchive(), static_cast<int>(members.size()));
    EXPECT_EQ(failed, 0);
}

// Each case damages or misreads one AE-1 and one AE-2 entry; both must fail, whichever check catches it.
TEST(ExtractZipAes, WrongPasswordsAndDamagedDataFail) {
    const std::string text = NumberedLines(4000);
    const std::vector<test::ZipMember> members = {AesMember("ae1.txt", text, 1, 3, 8), AesMember("ae2.txt", text, 2, 3, 8)};
    const std::string good = test::BuildZip(members);
    const std::size_t salt_and_verifier = AesSaltLength(3) + kAesVerifierLength;
    const std::size_t first_data = DataAt(members, 0) + salt_and_verifier;
    const std::size_t second_data = DataAt(members, 1) + salt_and_verifier;
    const std::size_t first_code = DataAt(members, 0) + members[0].packed.size() - 1;
    const std::size_t second_code = DataAt(members, 1) + members[1].packed.size() - kAesAuthCodeLength;
    struct Case {
        const char* what;
        std::vector<std::size_t> flipped;  // bytes of the archive turned over
        const char* password;
        const char* reported;
    } cases[] = {
        {"wrong password", {}, "Secret",
         "ae1.txt: Invalid password (User canceled)\nae1.txt: fails its check\n"
         "ae2.txt: Invalid password (User canceled)\nae2.txt: fails its check\n"},
        {"data changed", {first_data + 100, second_data + 100}, "secret", nullptr},
        {"code changed", {first_code, second_code}, "secret", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        std::string zip = good;
        for (const std::size_t at : c.flipped) zip[at] = static_cast<char>(~zip[at]);
        test::WriteFile(dir / "aes.zip", zip);
        const std::string reported = test::ExtractWithReader(dir / "aes.zip", atZip, dir / "out", c.password);
        if (c.reported != nullptr) {
            EXPECT_EQ(reported, c.reported);
            EXPECT_FALSE(fs::exists(dir / "out" / "ae1.txt"));  // no stand-in for a refused entry
        } else {
            EXPECT_NE(reported.find("ae1.txt: fails its check"), std::string::npos) << reported;
            EXPECT_NE(reported.find("ae2.txt: fails its check"), std::string::npos) << reported;
        }
    }
}

TEST(ExtractZipAes, PasswordComesThroughOnGetPassword) {
    test::TempDir dir;
    const std::string text = NumberedLines(100);
    test::WriteFile(dir / "aes.zip", test::BuildZip({AesMember("a.txt", text, 2, 1, 8), AesMember("b.txt", text, 2, 1, 0)}));
    TUnZip reader;
    reader.SetArchiveFile((dir / "aes.zip").string());
    reader.SetExtractDir((dir / "out").string());
    reader.FileSpec = {"*.*"};
    std::vector<std::string> asked;
    std::vector<int> errors;
    reader.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        errors.push_back(code);
    };
    reader.OnGetPassword = [&](TObject*, const std::string& file, std::string& password, TSeedKeyRecord&,
                               TSeedKeyRecord&, bool& try_again) {
        asked.push_back(fs::path(file).filename().string());
        password = asked.size() == 1 ? "wrong" : "secret";
        try_again = true;
    };
    EXPECT_EQ(reader.Extract(), 2);
    // Asked twice for the first entry; the second opens with the password that worked.
    EXPECT_EQ(asked, (std::vector<std::string>{"a.txt", "a.txt"}));
    EXPECT_EQ(errors, std::vector<int>{ecode::kInvalidPassword});
    EXPECT_EQ(test::ReadFile(dir / "out" / "b.txt"), text);
}

// A wrong password tried first leaves the data keys in a state of its own; the password asked for next must
// start from the seed again.
TEST(ExtractZipCipher, ClassicPasswordAskedAfterAWrongOneOpensTheEntry) {
    const std::string text = NumberedLines(200);
    const std::uint32_t crc = Crc32Of(text.data(), text.size());
    TCipherHeader header{};
    do header = MakeCipherHeader("right", crc);  // one header in 256 would let "wrong" pass its one-byte check
    while (CheckCipherHeader(header, 0, crc, "wrong", 0));
    ASSERT_TRUE(CheckCipherHeader(header, 0, crc, "right", 0));  // leaves the data keys after the header
    std::string data = text;
    CipherKeys(TSeedKind::skData).Encipher(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    test::TempDir dir;
    test::WriteFile(dir / "classic.zip", test::BuildZip({{.name = "a.txt", .data = text,
                                                          .packed = std::string(header.begin(), header.end()) + data,
                                                          .flags = 1}}));
    TUnZip reader;
    reader.SetArchiveFile((dir / "classic.zip").string());
    reader.SetExtractDir((dir / "out").string());
    reader.FileSpec = {"*.*"};
    reader.Password = "wrong";
    reader.OnGetPassword = [](TObject*, const std::string&, std::string& password, TSeedKeyRecord&, TSeedKeyRecord&,
                              bool& try_again) {
        password = "right";
        try_again = true;
    };
    EXPECT_EQ(reader.Extract(), 1);
    EXPECT_EQ(test::ReadFile(dir / "out" / "a.txt"), text);
}

// A wrong password over an earlier good extraction: the AES entry is refused and the classic one, whose
// one-byte check the wrong password passes by chance, decodes to garbage; both leave the files alone.
TEST(ExtractZipCipher, AWrongPasswordLeavesAnEarlierExtractionAlone) {
    const std::string text = NumberedLines(300);
    const std::uint32_t crc = Crc32Of(text.data(), text.size());
    TCipherHeader header{};
    do header = MakeCipherHeader("secret", crc);
    while (!CheckCipherHeader(header, 0, crc, "wrong", 0));
    ASSERT_TRUE(CheckCipherHeader(header, 0, crc, "secret", 0));  // leaves the data keys after the header
    std::string data = text;
    CipherKeys(TSeedKind::skData).Encipher(reinterpret_cast<std::uint8_t*>(data.data()), data.size());
    test::TempDir dir;
    test::WriteFile(dir / "both.zip",
                    test::BuildZip({{.name = "classic.txt", .data = text,
                                     .packed = std::string(header.begin(), header.end()) + data, .flags = 1},
                                    AesMember("aes.txt", text, 2, 3, 8)}));
    EXPECT_EQ(test::ExtractWithReader(dir / "both.zip", atZip, dir / "out", "secret"), "");
    EXPECT_NE(test::ExtractWithReader(dir / "both.zip", atZip, dir / "out", "wrong"), "");
    EXPECT_EQ(test::ReadFile(dir / "out" / "classic.txt"), text);
    EXPECT_EQ(test::ReadFile(dir / "out" / "aes.txt"), text);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(dir / "out")) ++files;
    EXPECT_EQ(files, 2u);  // nothing temporary left
}

// Deflated entries of several sizes, plain and AES: a limit that takes some of them whole and streams the
// rest gives the same files as streaming them all, and damaged data is told either way.
TEST(ExtractZip, WholeBufferInflateWritesWhatStreamingWrites) {
    std::vector<test::ZipMember> members;
    for (const int lines : {0, 10, 3000, 60000, 200000}) {
        const std::string text = NumberedLines(lines);
        members.push_back({.name = "plain" + std::to_string(lines), .data = text, .packed = test::RawDeflate(text),
                           .method = 8});
        members.push_back(AesMember("aes" + std::to_string(lines), text, 2, 3, 8));
    }
    test::TempDir dir;
    std::string zip = test::BuildZip(members);
    test::WriteFile(dir / "good.zip", zip);
    ASSERT_EQ(members[4].name, "plain3000");
    const std::size_t damaged = DataAt(members, 4) + members[4].packed.size() / 2;
    zip[damaged] = static_cast<char>(zip[damaged] ^ 0x55);
    test::WriteFile(dir / "bad.zip", zip);
    for (const std::int64_t limit : {std::int64_t{0}, std::int64_t{1} << 20, std::int64_t{1} << 30}) {
        SCOPED_TRACE(limit);
        for (const char* archive : {"good.zip", "bad.zip"}) {
            const fs::path out = dir / (std::string(archive) + std::to_string(limit));
            TUnZip reader;
            reader.SetArchiveFile((dir / archive).string());
            reader.SetExtractDir(out.string());
            reader.FileSpec = {"*.*"};
            reader.Password = "secret";
            reader.WholeBufferLimit = limit;
            std::string reported;
            reader.OnError = [&](TObject*, const std::string& file, const std::string&, const std::string&, int code) {
                reported += fs::path(file).filename().string() + ": " + std::string(LoadStr(code)) + "\n";
            };
            reader.OnEnd = [&](TObject*, const std::string& file, bool pass) {
                if (!pass) reported += fs::path(file).filename().string() + ": fails\n";
            };
            reader.Extract();
            if (archive == std::string("good.zip")) {
                EXPECT_EQ(reported, "");
                for (const test::ZipMember& member : members)
                    EXPECT_TRUE(test::ReadFile(out / member.name) == member.data) << member.name;
            } else {
                // The damage may break the Deflate stream or only change what it gives; the check fails anyway.
                EXPECT_TRUE(reported == "plain3000: fails\n" || reported == "plain3000: Decompression error\nplain3000: fails\n")
                    << reported;
            }
        }
    }
}

}  // namespace
}  // namespace kv
