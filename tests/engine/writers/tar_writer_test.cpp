// The TAR and TAR.GZ writers: the blocks they write, what GNU tar and bsdtar make of them, and the run on
// existing archives (kept members copied as they were, renames, deletes, the packed archive replaced only
// when the new one is complete).
#include <sys/stat.h>

#include <algorithm>

#include "engine/readers/tar_walk.h"
#include "engine/writers/tar_records.h"
#include "engine/writers/tar_writer.h"
#include "engine/writers/format_writers.h"
#include "writer_fixture.h"

namespace kv::test {
namespace {

std::vector<TTarMember> Members(const std::string& bytes) {
    TMemoryStream32 stream;
    stream.WriteFull(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    THeaderReader reader(stream, static_cast<std::int64_t>(bytes.size()));
    std::vector<TTarMember> members;
    WalkTar(reader, 0, [&](const TTarMember& member) {
        members.push_back(member);
        return true;
    });
    return members;
}

const TTarMember* Find(const std::vector<TTarMember>& members, const std::string& name) {
    const auto found = std::find_if(members.begin(), members.end(), [&](const TTarMember& m) { return m.Name == name; });
    return found == members.end() ? nullptr : &*found;
}

// Every member's raw bytes (extension headers, header, data), by name.
std::map<std::string, std::string> RawMembers(const std::string& bytes) {
    std::map<std::string, std::string> raw;
    for (const TTarMember& m : Members(bytes)) {
        raw[m.Name] = bytes.substr(static_cast<std::size_t>(m.StartAt), static_cast<std::size_t>(m.EndAt - m.StartAt));
    }
    return raw;
}

std::string BytesAt(const std::string& bytes, std::int64_t at, std::size_t size) {
    return bytes.substr(static_cast<std::size_t>(at), size);
}

class TarWriterTest : public WriterTest {
protected:
    std::unique_ptr<TTar> MakeTar(const fs::path& archive, bool gzip = false) {
        auto writer = MakeWriter<TTar>(archive);
        if (gzip) writer->SetCompressMethod(cmTarGzip);
        return writer;
    }

    std::string Gunzip(const fs::path& archive) {
        std::string tar;
        EXPECT_EQ(RunCommand("gzip -dc " + Quoted(archive), &tar), 0);
        return tar;
    }
};

TEST_F(TarWriterTest, BlocksOfFilesAndFolders) {
    WriteFile(dir_ / "src" / "f.bin", RandomBytes(513));
    ::chmod((dir_ / "src" / "f.bin").c_str(), 0640);
    SetFileTime(dir_ / "src" / "f.bin", 1700000000);
    fs::create_directories(dir_ / "src" / "docs");
    fs::remove(dir_ / "src" / "sub");
    const fs::path archive = dir_ / "a.tar";
    auto writer = MakeTar(archive);
    writer->StoreEmptySubDirs = true;
    writer->FileSpec = {(dir_ / "src" / "*").string()};
    ASSERT_EQ(writer->Compress(), 2);
    EXPECT_TRUE(errors_.empty());

    const std::string bytes = ReadFile(archive);
    EXPECT_EQ(bytes.size() % 10240, 0u);
    const auto members = Members(bytes);
    ASSERT_EQ(members.size(), 2u);
    const TTarMember* file = Find(members, "f.bin");
    const TTarMember* folder = Find(members, "docs/");
    ASSERT_TRUE(file && folder);
    // One header and two data blocks; the file's own mode and seconds.
    EXPECT_EQ(file->DataAt - file->HeaderAt, 512);
    EXPECT_EQ(file->EndAt - file->DataAt, 1024);
    EXPECT_EQ(BytesAt(bytes, file->DataAt, 513), ReadFile(dir_ / "src" / "f.bin"));
    EXPECT_EQ(BytesAt(bytes, file->HeaderAt + 100, 8), std::string("0000640\0", 8));
    EXPECT_EQ(BytesAt(bytes, file->HeaderAt + 124, 12), std::string("00000001001\0", 12));
    EXPECT_EQ(file->ModificationTime, 1700000000);
    EXPECT_EQ(BytesAt(bytes, file->HeaderAt + 108, 16), std::string("0000002\0" "0000002\0", 16));
    EXPECT_EQ(BytesAt(bytes, file->HeaderAt + 257, 8), std::string("ustar  \0", 8));
    EXPECT_EQ(BytesAt(bytes, file->HeaderAt + 265, 5), std::string("root\0", 5));
    EXPECT_EQ(folder->TypeFlag, '5');
    EXPECT_EQ(folder->Size, 0);
    // The end: two zero blocks at least behind the last member, then zeros to the record.
    const std::int64_t end = std::max(file->EndAt, folder->EndAt);
    EXPECT_GE(static_cast<std::int64_t>(bytes.size()) - end, 1024);
    EXPECT_EQ(bytes.find_first_not_of('\0', static_cast<std::size_t>(end)), std::string::npos);
    for (const TTarMember* m : {file, folder}) {
        TTarBlock block;
        std::copy_n(bytes.begin() + m->HeaderAt, 512, block.begin());
        EXPECT_EQ(BytesAt(bytes, m->HeaderAt + 148, 8), [&] {
            char digits[9];
            std::snprintf(digits, sizeof digits, "%07o", TarChecksum(block));
            return std::string(digits, 8);
        }());
    }
}

TEST_F(TarWriterTest, ArchiveWhoseLengthIsAlreadyWholeRecordsStillEnds) {
    // 512 header + 9728 data = 10240: the end marker needs a record of its own.
    WriteFile(dir_ / "src" / "f", RandomBytes(9728));
    const fs::path archive = dir_ / "a.tar";
    auto writer = MakeTar(archive);
    writer->FileSpec = {(dir_ / "src" / "f").string()};
    ASSERT_EQ(writer->Compress(), 1);
    EXPECT_EQ(fs::file_size(archive), 20480u);
}

TEST_F(TarWriterTest, FieldsThatDoNotFitGoToPaxRecords) {
    struct Case {
        const char* Name;
        std::string Path;
        std::int64_t Size;
        std::int64_t Time;
        bool Base256Size;
    };
    const Case cases[] = {
        {"short", "a/b.txt", 10, 1700000000, false},
        {"100 bytes fit", std::string(100, 'n'), 10, 0, false},
        {"long name", std::string(60, 'd') + "/" + std::string(200, 'f'), 10, 1700000000, false},
        {"8 GiB", "big", std::int64_t{8} << 30, 1700000000, true},
        {"before 1970", "old", 1, -86400, false},
        {"far future", "new", 1, std::int64_t{1} << 34, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTarBlock header = NewTarHeader(0644, {2, 2, "root", "root"}, '0');
        const std::vector<std::uint8_t> blocks = FrameTarMember(header, {c.Path, {}, c.Size, c.Time});
        ASSERT_EQ(blocks.size() % 512, 0u);
        TTarBlock own;
        std::copy(blocks.end() - 512, blocks.end(), own.begin());
        const auto parsed = ParseTarHeader(own);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->Size, c.Size);
        EXPECT_EQ((own[124] & 0x80) != 0, c.Base256Size);
        const bool needs_pax = c.Path.size() > 100 || c.Size >= (std::int64_t{1} << 33) || c.Time < 0 ||
                               c.Time >= (std::int64_t{1} << 33);
        ASSERT_EQ(blocks.size() > 512, needs_pax);
        std::string records;
        if (needs_pax) {
            TTarBlock extension;
            std::copy_n(blocks.begin(), 512, extension.begin());
            const auto extension_header = ParseTarHeader(extension);
            ASSERT_TRUE(extension_header);
            EXPECT_EQ(extension_header->TypeFlag, 'x');
            records.assign(reinterpret_cast<const char*>(blocks.data()) + 512,
                           static_cast<std::size_t>(extension_header->Size));
        }
        TPaxOverrides pax;
        ParsePaxRecords(records, pax);
        EXPECT_EQ(pax.Path.value_or(parsed->Name), c.Path);
        const bool time_fits = c.Time >= 0 && c.Time < (std::int64_t{1} << 33);
        if (time_fits) {
            EXPECT_EQ(parsed->ModificationTime, c.Time);
        } else {
            EXPECT_NE(records.find(" mtime=" + std::to_string(c.Time) + "\n"), std::string::npos) << records;
        }
        if (c.Size >= (std::int64_t{1} << 33)) {
            EXPECT_EQ(pax.Size, c.Size);
        }
    }
}

TEST_F(TarWriterTest, PaxRecordLengthsCountTheirOwnDigits) {
    for (std::size_t value = 0; value < 1100; ++value) {
        const std::string record = PaxRecord("path", std::string(value, 'v'));
        EXPECT_EQ(std::to_string(record.size()) + " ", record.substr(0, record.find(' ') + 1)) << value;
    }
}

TEST_F(TarWriterTest, PeerToolsExtractWhatWeWrite) {
    // Long names past the 100-byte field and past 255 bytes in deep folders, an empty file, an empty
    // folder and an executable.
    const std::string deep = "deep/" + std::string(90, 'a') + "/" + std::string(90, 'b') + "/" + std::string(90, 'c');
    const std::map<std::string, std::string> files = {
        {"short.txt", TextBytes(3000)},
        {std::string(120, 'L') + ".txt", TextBytes(700)},
        {deep + "/file.bin", RandomBytes(70000)},
        {"empty", ""},
        {"run.sh", "#!/bin/sh\n"},
    };
    std::time_t time = 1600000000;
    for (const auto& [name, bytes] : files) {
        fs::create_directories((dir_ / "src" / name).parent_path());
        WriteFile(dir_ / "src" / name, bytes);
        SetFileTime(dir_ / "src" / name, time += 1001);
    }
    ::chmod((dir_ / "src" / "run.sh").c_str(), 0755);
    fs::create_directories(dir_ / "src" / "hollow");
    fs::remove(dir_ / "src" / "sub");

    for (const bool gzip : {false, true}) {
        SCOPED_TRACE(gzip ? "tar.gz" : "tar");
        const fs::path archive = dir_ / (gzip ? "peer.tar.gz" : "peer.tar");
        auto writer = MakeTar(archive, gzip);
        writer->StoreEmptySubDirs = true;
        writer->FileSpec = {(dir_ / "src" / "*").string()};
        ASSERT_EQ(writer->Compress(), 6);
        EXPECT_TRUE(errors_.empty());
        for (const char* tool : {"tar", "bsdtar"}) {
            if (!HaveProgram(tool)) continue;
            SCOPED_TRACE(tool);
            std::string output;
            ASSERT_EQ(RunCommand(std::string(tool) + (gzip ? " -tzvf " : " -tvf ") + Quoted(archive) + " 2>&1", &output), 0)
                << output;
            const fs::path out = dir_ / (std::string(tool) + (gzip ? "-gz" : ""));
            fs::create_directories(out);
            ASSERT_EQ(RunCommand(std::string(tool) + " -xf " + Quoted(archive) + " -C " + Quoted(out) + " 2>&1", &output), 0)
                << output;
            for (const auto& [name, bytes] : files) {
                EXPECT_EQ(ReadFile(out / name), bytes) << name;
                EXPECT_EQ(fs::last_write_time(out / name), fs::last_write_time(dir_ / "src" / name)) << name;
            }
            EXPECT_TRUE(fs::is_directory(out / "hollow"));
            EXPECT_EQ(fs::status(out / "run.sh").permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
            EXPECT_EQ(fs::status(out / "short.txt").permissions() & fs::perms::owner_write, fs::perms::owner_write);
        }
    }
    if (HaveProgram("gzip")) {
        std::string output;
        EXPECT_EQ(RunCommand("gzip -t " + Quoted(dir_ / "peer.tar.gz") + " 2>&1", &output), 0) << output;
        EXPECT_EQ(Gunzip(dir_ / "peer.tar.gz").size() % 10240, 0u);
    }
}

TEST_F(TarWriterTest, ChangesKeepTheOtherMembersByteForByte) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(dir_ / "src" / name, TextBytes(1500) + name);
    WriteFile(dir_ / "src" / std::string(150, 'x'), "long");
    const fs::path archive = dir_ / "run.tar";
    auto first = MakeTar(archive);
    first->FileSpec = {(dir_ / "src" / "*").string()};
    first->RecurseDirs = false;
    ASSERT_EQ(first->Compress(), 4);
    const auto before = RawMembers(ReadFile(archive));
    ASSERT_EQ(before.size(), 4u);

    // Delete one.
    auto remove = MakeTar(archive);
    remove->Switch = swDelete;
    remove->FileSpec = {"b.txt"};
    EXPECT_EQ(remove->Compress(), 1);
    auto after = RawMembers(ReadFile(archive));
    EXPECT_EQ(after.count("b.txt"), 0u);
    for (const std::string& name : std::vector<std::string>{"a.txt", "c.txt", std::string(150, 'x')}) EXPECT_EQ(after[name], before.at(name)) << name;

    // Keep the old a.txt under a new, long name and add the changed file; refresh c.txt with a newer one.
    WriteFile(dir_ / "src" / "a.txt", "changed");
    SetFileTime(dir_ / "src" / "a.txt", std::time(nullptr) + 100);
    auto rename = MakeTar(archive);
    rename->FileSpec = {(dir_ / "src" / "a.txt").string()};
    rename->OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, std::int64_t,
                               std::int64_t, int, int, bool& replace) { replace = false; };
    const std::string renamed = "old/" + std::string(120, 'r') + ".txt";
    rename->OnRenameDupeFile = [&](TObject*, const std::string&, std::string& name, bool& yes) {
        name = renamed;
        yes = true;
    };
    EXPECT_EQ(rename->Compress(), 2);
    WriteFile(dir_ / "src" / "c.txt", "newer c");
    SetFileTime(dir_ / "src" / "c.txt", std::time(nullptr) + 100);
    auto refresh = MakeTar(archive);
    refresh->Switch = swRefresh;
    refresh->FileSpec = {(dir_ / "src" / "*").string()};
    refresh->RecurseDirs = false;
    EXPECT_EQ(refresh->Compress(), 1);
    EXPECT_TRUE(errors_.empty());

    const std::string bytes = ReadFile(archive);
    after = RawMembers(bytes);
    EXPECT_EQ(after[std::string(150, 'x')], before.at(std::string(150, 'x')));
    const auto members = Members(bytes);
    const TTarMember* old_a = Find(members, renamed);
    const TTarMember* new_a = Find(members, "a.txt");
    const TTarMember* new_c = Find(members, "c.txt");
    ASSERT_TRUE(old_a && new_a && new_c);
    EXPECT_EQ(BytesAt(bytes, old_a->DataAt, static_cast<std::size_t>(old_a->Size)), TextBytes(1500) + "a.txt");
    EXPECT_EQ(BytesAt(bytes, new_a->DataAt, 7), "changed");
    EXPECT_EQ(BytesAt(bytes, new_c->DataAt, 7), "newer c");
    if (HaveProgram("tar")) {
        std::string listing;
        EXPECT_EQ(RunCommand("tar -tf " + Quoted(archive), &listing), 0);
        EXPECT_NE(listing.find(renamed + "\n"), std::string::npos) << listing;
    }
}

TEST_F(TarWriterTest, ArchivesOfGnuTarKeepTheirMembers) {
    if (!HaveProgram("tar")) GTEST_SKIP() << "no GNU tar";
    // GNU long-name headers and a symbolic link: kept members come along with their extension headers.
    const std::string long_name = std::string(130, 'g') + ".txt";
    WriteFile(dir_ / "src" / long_name, TextBytes(900));
    fs::create_symlink(long_name, dir_ / "src" / "link");
    const fs::path archive = dir_ / "gnu.tar";
    ASSERT_EQ(RunCommand("tar --format=gnu -cf " + Quoted(archive) + " -C " + Quoted(dir_ / "src") + " " + long_name + " link"), 0);
    const auto before = RawMembers(ReadFile(archive));
    ASSERT_EQ(before.size(), 2u);

    WriteFile(dir_ / "add.txt", "added");
    auto writer = MakeTar(archive);
    writer->FileSpec = {(dir_ / "add.txt").string()};
    ASSERT_EQ(writer->Compress(), 1);
    const auto after = RawMembers(ReadFile(archive));
    EXPECT_EQ(after.at(long_name), before.at(long_name));
    EXPECT_EQ(after.at("link"), before.at("link"));
    std::string listing;
    ASSERT_EQ(RunCommand("tar -tf " + Quoted(archive), &listing), 0);
    EXPECT_EQ(listing, long_name + "\nlink\nadd.txt\n");
}

TEST_F(TarWriterTest, WritersForTheTypes) {
    const auto tar = CreateWriter(atTar);
    const auto tar_gz = CreateWriter(atTarGZip);
    ASSERT_NE(dynamic_cast<TTar*>(tar.get()), nullptr);
    ASSERT_NE(dynamic_cast<TTar*>(tar_gz.get()), nullptr);
    EXPECT_EQ(tar->CompressMethod(), cmTarred);
    EXPECT_EQ(tar_gz->CompressMethod(), cmTarGzip);
    EXPECT_EQ(tar->DefaultExt(), ".tar");
    tar->SetCompressMethod(cmDeflate);  // not a TAR method: ignored
    EXPECT_EQ(tar->CompressMethod(), cmTarred);
}

TEST_F(TarWriterTest, DamagedArchivesAreRefusedNotRewritten) {
    WriteFile(dir_ / "src" / "a.txt", TextBytes(3000));
    const fs::path archive = dir_ / "broken.tar";
    auto first = MakeTar(archive);
    first->FileSpec = {(dir_ / "src" / "a.txt").string()};
    ASSERT_EQ(first->Compress(), 1);
    for (const bool cut : {true, false}) {
        std::string bytes = ReadFile(archive);
        if (cut) {
            bytes.resize(1024);  // the member's data runs past the end
        } else {
            bytes[0] ^= 1;  // the first header's checksum fails: not a TAR we can read
        }
        const fs::path damaged = dir_ / (cut ? "cut.tar" : "bad.tar");
        WriteFile(damaged, bytes);
        errors_.clear();
        auto writer = MakeTar(damaged);
        writer->FileSpec = {(dir_ / "src" / "a.txt").string()};
        EXPECT_EQ(writer->Compress(), 0);
        EXPECT_EQ(errors_, std::vector<int>{25259});
        EXPECT_EQ(ReadFile(damaged), bytes);
    }
}

TEST_F(TarWriterTest, TarGzKeepsOldMembersAndLeavesOnlyTheArchive) {
    if (!HaveProgram("gzip")) GTEST_SKIP() << "no gzip";
    WriteFile(dir_ / "src" / "one.txt", TextBytes(5000));
    WriteFile(dir_ / "src" / "two.txt", TextBytes(7000));
    WriteFile(dir_ / "x.tar", "not ours");
    const fs::path archive = dir_ / "x.tar.gz";
    auto first = MakeTar(archive, true);
    first->FileSpec = {(dir_ / "src" / "one.txt").string()};
    ASSERT_EQ(first->Compress(), 1);
    EXPECT_EQ(first->ArchiveFile(), archive.string());
    EXPECT_EQ(ReadFile(dir_ / "x.tar"), "not ours");
    std::string header;
    EXPECT_EQ(ReadFile(archive).substr(10, 6), std::string("x.tar\0", 6));  // the packed file's name

    auto second = MakeTar(archive, true);
    second->FileSpec = {(dir_ / "src" / "two.txt").string()};
    ASSERT_EQ(second->Compress(), 1);
    auto members = Members(Gunzip(archive));
    ASSERT_EQ(members.size(), 2u);
    EXPECT_TRUE(Find(members, "one.txt") && Find(members, "two.txt"));

    auto remove = MakeTar(archive, true);
    remove->Switch = swDelete;
    remove->FileSpec = {"one.txt"};
    ASSERT_EQ(remove->Compress(), 1);
    members = Members(Gunzip(archive));
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].Name, "two.txt");
    EXPECT_TRUE(errors_.empty());
    EXPECT_TRUE(TempFolderEmpty());
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(dir_.Path())) names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"src", "tmp", "x.tar", "x.tar.gz"}));
}

TEST_F(TarWriterTest, FailedTarGzRunsLeaveTheArchiveAsItWas) {
    WriteFile(dir_ / "src" / "one.txt", TextBytes(5000));
    WriteFile(dir_ / "src" / "two.txt", TextBytes(7000));
    const fs::path archive = dir_ / "y.tgz";
    auto first = MakeTar(archive, true);
    first->FileSpec = {(dir_ / "src" / "one.txt").string()};
    ASSERT_EQ(first->Compress(), 1);
    const std::string before = ReadFile(archive);

    struct Case {
        const char* Name;
        int Cancel;  // 0 never, 1 at the first file
        bool FailMove;
        int Error;
    };
    for (const Case& c : {Case{"cancel", 1, false, 25443}, Case{"rename fails", 0, true, 25350}}) {
        SCOPED_TRACE(c.Name);
        errors_.clear();
        auto writer = MakeTar(archive, true);
        writer->FileSpec = {(dir_ / "src" / "*.txt").string()};
        writer->OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, std::int64_t,
                                   std::int64_t, int, int, bool& replace) { replace = true; };
        if (c.Cancel == 1) {
            writer->OnBegin = [&](TObject*, const std::string&, int, bool&) { writer->SetCancel(true); };
        }
        if (c.FailMove) writer->TempFileOps.Rename = [](const std::string&, const std::string&) { return errno = EIO, -1; };
        EXPECT_EQ(writer->Compress(), 0);
        ASSERT_FALSE(errors_.empty());
        EXPECT_EQ(errors_.back(), c.Error);
        EXPECT_EQ(ReadFile(archive), before);
        EXPECT_TRUE(TempFolderEmpty());
    }

    // Packed data that does not unpack is refused, not replaced.
    std::string broken = before;
    broken[broken.size() / 2] ^= 0x55;
    WriteFile(archive, broken);
    errors_.clear();
    auto writer = MakeTar(archive, true);
    writer->FileSpec = {(dir_ / "src" / "two.txt").string()};
    EXPECT_EQ(writer->Compress(), 0);
    EXPECT_FALSE(errors_.empty());
    EXPECT_EQ(ReadFile(archive), broken);
    EXPECT_TRUE(TempFolderEmpty());
}

// The TAR inside an archive of `method`, unpacked by the peer tool of its compressor; empty when it is not
// installed.
std::string PeerUnpacked(const fs::path& archive, TCompressMethod method) {
    const char* tool = method == cmTarXz ? "xz" : method == cmTarZstd ? "zstd" : "gzip";
    if (method == cmTarred) return ReadFile(archive);
    if (!HaveProgram(tool)) return {};
    std::string tar;
    EXPECT_EQ(RunCommand(std::string(tool) + " -dc " + Quoted(archive), &tar), 0) << tool;
    return tar;
}

const char* NameOf(TCompressMethod method) {
    return method == cmTarred ? "tar" : method == cmTarGzip ? "tar.gz" : method == cmTarXz ? "tar.xz" : "tar.zst";
}

TEST_F(TarWriterTest, FileThatShrinksWhileReadLeavesAWholeArchiveAndTheOldMember) {
    // Bigger than one piece of the compressor, so that a packed archive has handed over the member's header
    // before the file turns out short.
    const std::string big = RandomBytes(3 * 1024 * 1024);
    const std::int64_t kept = 1024 * 1024 + 100;
    for (const TCompressMethod method : {cmTarred, cmTarGzip, cmTarXz, cmTarZstd}) {
        SCOPED_TRACE(NameOf(method));
        errors_.clear();
        const fs::path archive = dir_ / (std::string("shrink.") + NameOf(method));
        WriteFile(dir_ / "src" / "a.txt", TextBytes(3000));
        WriteFile(dir_ / "src" / "shrinks.bin", "old contents");
        SetFileTime(dir_ / "src" / "shrinks.bin", 1600000000);
        fs::remove(dir_ / "src" / "z.txt");
        auto first = MakeTar(archive);
        first->SetCompressMethod(method);
        first->FileSpec = {(dir_ / "src" / "*").string()};
        ASSERT_EQ(first->Compress(), 2);

        WriteFile(dir_ / "src" / "shrinks.bin", big);
        WriteFile(dir_ / "src" / "z.txt", TextBytes(2000));
        auto writer = MakeTar(archive);
        writer->SetCompressMethod(method);
        writer->FileSpec = {(dir_ / "src" / "*").string()};
        writer->OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, std::int64_t,
                                   std::int64_t, int, int, bool& replace) { replace = true; };
        bool cut = false;
        std::string current;
        writer->OnBegin = [&](TObject*, const std::string& file, int, bool&) { current = file; };
        writer->OnProgress = [&](TObject*, std::uint8_t, std::uint8_t) {
            if (cut || !current.ends_with("shrinks.bin")) return;
            fs::resize_file(dir_ / "src" / "shrinks.bin", static_cast<std::uintmax_t>(kept));
            cut = true;
        };
        EXPECT_EQ(writer->Compress(), 1);  // z.txt; a.txt has not changed
        ASSERT_TRUE(cut);
        EXPECT_EQ(errors_, std::vector<int>{ecode::kErrorReadingFile});
        EXPECT_TRUE(TempFolderEmpty());

        const std::string tar = PeerUnpacked(archive, method);
        if (tar.empty()) continue;
        ASSERT_EQ(tar.size() % 10240, 0u);
        std::vector<TTarMember> shrunk;
        std::vector<std::string> names;
        for (const TTarMember& member : Members(tar)) {
            names.push_back(member.Name);
            if (member.Name == "shrinks.bin") shrunk.push_back(member);
        }
        std::sort(names.begin(), names.end());
        if (method == cmTarred) {
            // Nothing was handed on yet: the member is taken back whole, and the old one stays.
            EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "shrinks.bin", "z.txt"}));
            ASSERT_EQ(shrunk.size(), 1u);
        } else {
            // The member is filled up with zeros to its announced size, and the old one follows it.
            EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "shrinks.bin", "shrinks.bin", "z.txt"}));
            ASSERT_EQ(shrunk.size(), 2u);
            ASSERT_EQ(shrunk[0].Size, static_cast<std::int64_t>(big.size()));
            const std::string data = BytesAt(tar, shrunk[0].DataAt, big.size());
            EXPECT_EQ(data.substr(0, 1024 * 1024), big.substr(0, 1024 * 1024));
            EXPECT_EQ(data.find_first_not_of('\0', 1024 * 1024), std::string::npos);
        }
        EXPECT_EQ(shrunk.back().Size, 12);
        if (!HaveProgram("tar")) continue;
        // What tar extracts is the file as it was before the run.
        const fs::path out = dir_ / (std::string("out-") + NameOf(method));
        fs::create_directories(out);
        WriteFile(dir_ / "unpacked.tar", tar);
        std::string output;
        ASSERT_EQ(RunCommand("tar -xf " + Quoted(dir_ / "unpacked.tar") + " -C " + Quoted(out) + " 2>&1", &output), 0)
            << output;
        EXPECT_EQ(ReadFile(out / "shrinks.bin"), "old contents");
        EXPECT_EQ(ReadFile(out / "a.txt"), ReadFile(dir_ / "src" / "a.txt"));
        EXPECT_EQ(ReadFile(out / "z.txt"), ReadFile(dir_ / "src" / "z.txt"));
    }
}

TEST_F(TarWriterTest, PackedRunCancelledMidFileLeavesTheArchiveAsItWas) {
    WriteFile(dir_ / "src" / "one.txt", TextBytes(5000));
    for (const TCompressMethod method : {cmTarGzip, cmTarXz, cmTarZstd}) {
        SCOPED_TRACE(NameOf(method));
        errors_.clear();
        fs::remove(dir_ / "src" / "big.bin");
        const fs::path archive = dir_ / (std::string("cancel.") + NameOf(method));
        auto first = MakeTar(archive);
        first->SetCompressMethod(method);
        first->FileSpec = {(dir_ / "src" / "one.txt").string()};
        ASSERT_EQ(first->Compress(), 1);
        const std::string before = ReadFile(archive);

        // Cancelled after several pieces went through the compressor into the temporary archive.
        WriteFile(dir_ / "src" / "big.bin", TextBytes(6 * 1024 * 1024));
        auto writer = MakeTar(archive);
        writer->SetCompressMethod(method);
        writer->FileSpec = {(dir_ / "src" / "big.bin").string()};
        writer->OnProgress = [&](TObject*, std::uint8_t by_file, std::uint8_t) {
            if (by_file >= 80) writer->SetCancel(true);
        };
        EXPECT_EQ(writer->Compress(), 0);
        ASSERT_FALSE(errors_.empty());
        EXPECT_EQ(errors_.back(), ecode::kUserCanceled);
        EXPECT_EQ(ReadFile(archive), before);
        EXPECT_TRUE(TempFolderEmpty());
    }
}

}  // namespace
}  // namespace kv::test
