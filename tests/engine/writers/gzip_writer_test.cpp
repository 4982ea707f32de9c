// The single-file writers (GZIP, BZIP2): what gzip and bzip2 make of their output (empty, incompressible
// and multi-chunk inputs), output names, and the questions and refusals of their loop.
#include "engine/writers/bzip2_writer.h"
#include "engine/writers/gzip_writer.h"
#include "writer_fixture.h"

namespace kv::test {
namespace {

class SingleFileWriterTest : public WriterTest {
protected:
    template <class Writer>
    std::unique_ptr<Writer> MakePacker(const std::vector<fs::path>& inputs) {
        auto writer = MakeWriter<Writer>(dir_ / "out" / "any");
        fs::create_directories(dir_ / "out");
        writer->DefaultDir = (dir_ / "out").string();
        for (const fs::path& input : inputs) writer->FileSpec.push_back(input.string());
        return writer;
    }
};

TEST_F(SingleFileWriterTest, PeerToolsUnpackWhatWeWrite) {
    // Sizes that need several parallel chunks of either codec, and the inputs no codec shrinks.
    const std::map<std::string, std::string> inputs = {
        {"empty", ""},
        {"noise", RandomBytes(3 << 20)},
        {"text", TextBytes(5 << 20)},
        {"small", "x"},
    };
    std::vector<fs::path> paths;
    for (const auto& [name, bytes] : inputs) {
        WriteFile(dir_ / "src" / name, bytes);
        SetFileTime(dir_ / "src" / name, 1650000000);
        paths.push_back(dir_ / "src" / name);
    }
    struct Case {
        const char* Tool;
        TDeflateType Type;
    };
    for (const Case& c : {Case{"gzip", dtDeflateN}, Case{"gzip", dtDeflateS}, Case{"gzip", dtDeflateX},
                          Case{"bzip2", dtDeflateF}, Case{"bzip2", dtDeflateN}}) {
        if (!HaveProgram(c.Tool)) continue;
        SCOPED_TRACE(std::string(c.Tool) + " " + std::to_string(c.Type));
        fs::remove_all(dir_ / "out");
        const bool gzip = std::string(c.Tool) == "gzip";
        std::unique_ptr<TCompBase> writer;
        if (gzip) {
            writer = MakePacker<TGZip>(paths);
        } else {
            writer = MakePacker<TBZip2>(paths);
        }
        writer->DeflateType = c.Type;
        EXPECT_EQ(writer->Compress(), 4);
        EXPECT_TRUE(errors_.empty());
        EXPECT_TRUE(TempFolderEmpty());
        for (const auto& [name, bytes] : inputs) {
            const fs::path packed = dir_ / "out" / (name + (gzip ? ".gz" : ".bz2"));
            std::string output;
            EXPECT_EQ(RunCommand(std::string(c.Tool) + " -t " + Quoted(packed) + " 2>&1", &output), 0) << name << output;
            ASSERT_EQ(RunCommand(std::string(c.Tool) + " -dc " + Quoted(packed), &output), 0) << name;
            EXPECT_TRUE(output == bytes) << name;
            EXPECT_EQ(fs::last_write_time(packed), fs::last_write_time(dir_ / "src" / name));
            // A GZIP header names the packed file.
            if (gzip) {
                EXPECT_EQ(ReadFile(packed).substr(10, name.size() + 1), name + '\0');
            }
        }
    }
}

TEST_F(SingleFileWriterTest, OutputNames) {
    WriteFile(dir_ / "src" / "readme.txt", "read me");
    struct Case {
        TGZipExt Extension;
        const char* Output;
    };
    for (const Case& c : {Case{exAppendGZ, "readme.txt.gz"}, Case{exUnderScore, "readme.tx_"}, Case{exNone, "readme.txt"}}) {
        SCOPED_TRACE(c.Output);
        fs::remove_all(dir_ / "out");
        auto writer = MakePacker<TGZip>({dir_ / "src" / "readme.txt"});
        writer->Extension = c.Extension;
        EXPECT_EQ(writer->Compress(), 1);
        EXPECT_TRUE(fs::exists(dir_ / "out" / c.Output));
        EXPECT_EQ(ReadFile(dir_ / "src" / "readme.txt"), "read me");
    }
    // Packing in place with exNone never writes over the input.
    auto writer = MakePacker<TGZip>({dir_ / "src" / "readme.txt"});
    writer->DefaultDir = (dir_ / "src").string();
    writer->Extension = exNone;
    EXPECT_EQ(writer->Compress(), 1);
    EXPECT_EQ(ReadFile(dir_ / "src" / "readme.txt"), "read me");
    EXPECT_TRUE(fs::exists(dir_ / "src" / "readme.txt.gz"));
}

TEST_F(SingleFileWriterTest, ExistingOutputsAndRefusals) {
    WriteFile(dir_ / "src" / "a.txt", "new a");
    WriteFile(dir_ / "src" / "b.txt", "new b");
    const std::vector<fs::path> inputs = {dir_ / "src" / "a.txt", dir_ / "src" / "b.txt"};

    // Deleting is no operation of a single-file writer.
    auto remove = MakePacker<TGZip>(inputs);
    remove->Switch = swDelete;
    EXPECT_EQ(remove->Compress(), 0);
    EXPECT_EQ(errors_, std::vector<int>{25244});

    // An output that exists needs OnFileExists: without it the run stops at once.
    WriteFile(dir_ / "out" / "a.txt.gz", "old");
    errors_.clear();
    auto unasked = MakePacker<TGZip>(inputs);
    EXPECT_EQ(unasked->Compress(), 0);
    EXPECT_EQ(errors_, std::vector<int>{25270});
    EXPECT_EQ(ReadFile(dir_ / "out" / "a.txt.gz"), "old");
    EXPECT_FALSE(fs::exists(dir_ / "out" / "b.txt.gz"));

    // Skip keeps it; overwrite replaces it; without ConfirmOverwrites it is replaced unasked.
    for (const TOverwriteMode mode : {omSkip, omOverwrite}) {
        errors_.clear();
        WriteFile(dir_ / "out" / "a.txt.gz", "old");
        fs::remove(dir_ / "out" / "b.txt.gz");
        auto writer = MakePacker<TGZip>(inputs);
        writer->DeleteOptions = doFinal;
        std::vector<std::pair<std::string, bool>> ends;
        writer->OnFileExists = [&](TObject*, const std::string&, TDateTime, TOverwriteMode& answer) { answer = mode; };
        writer->OnEnd = [&](TObject*, const std::string& name, bool ok) { ends.emplace_back(fs::path(name).filename(), ok); };
        EXPECT_EQ(writer->Compress(), mode == omSkip ? 1 : 2);
        EXPECT_TRUE(errors_.empty());
        EXPECT_EQ(ends, (std::vector<std::pair<std::string, bool>>{{"a.txt.gz", true}, {"b.txt.gz", true}}));
        EXPECT_EQ(ReadFile(dir_ / "out" / "a.txt.gz") == "old", mode == omSkip);
    }
    auto unconfirmed = MakePacker<TGZip>(inputs);
    unconfirmed->ConfirmOverwrites = false;
    unconfirmed->DeleteOptions = doFinal;
    EXPECT_EQ(unconfirmed->Compress(), 2);

    // A name that matches nothing does not keep the others from being written.
    errors_.clear();
    auto missing = MakePacker<TBZip2>({dir_ / "src" / "a.txt", dir_ / "src" / "gone.txt"});
    EXPECT_EQ(missing->Compress(), 1);
    EXPECT_TRUE(fs::exists(dir_ / "out" / "a.txt.bz2"));
}

TEST_F(SingleFileWriterTest, MoveDeletesTheInputsWritten) {
    WriteFile(dir_ / "src" / "m.txt", TextBytes(1000));
    auto writer = MakePacker<TGZip>({dir_ / "src" / "m.txt"});
    writer->Switch = swMove;
    writer->DeleteOptions = doFinal;
    EXPECT_EQ(writer->Compress(), 1);
    EXPECT_FALSE(fs::exists(dir_ / "src" / "m.txt"));
    if (HaveProgram("gzip")) {
        std::string output;
        ASSERT_EQ(RunCommand("gzip -dc " + Quoted(dir_ / "out" / "m.txt.gz"), &output), 0);
        EXPECT_EQ(output, TextBytes(1000));
    }
}

}  // namespace
}  // namespace kv::test
