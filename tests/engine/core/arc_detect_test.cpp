#include "engine/core/arc_detect.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>

#include "engine/core/error_codes.h"
#include "engine/core/signature_table.h"
#include "support/bytes_stream.h"
#include "support/pe_fixture.h"
#include "support/tar_builder.h"
#include "support/test_support.h"
#include "support/zip_fixture.h"

namespace kv {

// Lets failure messages name the type.
void PrintTo(TArcType type, std::ostream* os) { *os << ArcTypeValueName(type); }

namespace {

using namespace std::string_literals;

using test::BytesStream;
using test::MakeZip;
using test::TarHeader;
using test::ZipLayout;

struct Detection {
    TArcType Type = atNA;
    TArcDetection State;
    std::vector<int> Errors;
};

platform::DriveInfo MakeDrive(bool valid, bool removable, const std::string& label) {
    platform::DriveInfo drive;
    drive.Valid = valid;
    drive.Removable = removable;
    drive.VolumeLabel = label;
    return drive;
}

Detection Detect(const std::string& bytes, const std::string& name = "archive",
                 std::function<platform::DriveInfo(const std::string&)> drive = {}) {
    BytesStream stream(bytes);
    Detection result;
    TDetectionContext context;
    context.ArchiveFile = name;
    context.ReportError = [&result](int code) { result.Errors.push_back(code); };
    context.QueryDrive = drive ? std::move(drive) : [](const std::string&) { return MakeDrive(true, false, ""); };
    result.Type = DetectArcType(stream, result.State, context);
    return result;
}

std::string Padded(std::string bytes, std::size_t size, char fill = '\0') {
    if (bytes.size() < size) bytes.resize(size, fill);
    return bytes;
}

// Places `bytes` at `offset` of a buffer of at least `size` bytes.
std::string Place(std::string base, std::size_t offset, const std::string& bytes) {
    if (base.size() < offset + bytes.size()) base.resize(offset + bytes.size(), '\0');
    base.replace(offset, bytes.size(), bytes);
    return base;
}

std::uint8_t Bits(std::initializer_list<THeaderType> types) {
    THeaderTypeState state;
    for (THeaderType t : types) state.Include(t);
    return state.Bits();
}

// ---- the signature table ----

struct TableRow {
    std::string Bytes;
    TArcType Start;
    TArcType Embedded;
    std::int64_t StartOffset = -1;          // what mode start fixes
    std::int64_t EmbeddedStartOffset = -1;  // what mode embedded fixes
};

TEST(SignatureTable, EveryRowInBothModes) {
    const TableRow rows[] = {
        {"BH\x05\x07", atBh, atBhExe},
        {"Rar!", atRar, atRarExe},
        {"PKG5", atUnknown, atUnknown},
        {"MSCF", atCab, atCabExe},
        {"\xB7\xDF\x54\x57", atArc, atArcExe, -1, 7716},
        {"\x13\x5D\x65\x8C", atMsGZ, atUnsupported},
        {"ab-l", atLha, atLhaExe},
        {"\x1A\x01xx", atArc, atUnsupported},
        {"\x1A\x02xx", atArc, atUnsupported},
        {"\x1A\x04xx", atArc, atUnsupported},  // a squeezed first entry
        {"\x1A\x07xx", atArc, atUnsupported},
        {"\x1A\x1Exx", atArc, atUnsupported},
        {"\x1A\x08xx", atArc, atArcExe},
        {"\x1A\x09xx", atArc, atArcExe},
        {"\x1A\x0Axx", atPak, atPakExe},
        {"\x1A\x0Bxx", atPak, atPakExe},
        {"\x1F\x1Exx", atGZip, atUnsupported},
        {"%!PS", atGZip, atUnsupported},
        {"\x1F\x8Bxx", atGZip, atUnsupported},
        {"\x1F\x9Dxx", atGZip, atUnsupported},
        {"\x1F\x9Exx", atGZip, atUnsupported},
        {"\x1F\xA0xx", atGZip, atUnsupported},
        {"HAxx", atHA, atUnsupported},
        {"ZOO ", atZoo, atUnsupported},
        {"\xB7\x92xx", atArcExe, atArcExe, 7716, 7716},
        {"\xB7\xDFxx", atArcExe, atArcExe, 7716, 7716},
        {"\x60\xEAxx", atArj, atArjExe},
        {"PK\x03\x04", atZip, atZipExe},
        {"PL\x03\x04", atZip, atZipExe},
        {"PN\x05\x06", atZip, atZipExe},
        {"PKG4", atNA, atNA},
        {"PKCI", atNA, atNA},
        {"abcd", atNA, atNA},
    };
    for (const TableRow& row : rows) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(row.Bytes.data());
        const TSignatureEntry start = LookUpSignature(TSignatureMode::smStart, bytes);
        const TSignatureEntry embedded = LookUpSignature(TSignatureMode::smEmbedded, bytes);
        EXPECT_EQ(start.Type, row.Start) << row.Bytes;
        EXPECT_EQ(embedded.Type, row.Embedded) << row.Bytes;
        EXPECT_EQ(start.StartOffset, row.StartOffset) << row.Bytes;
        EXPECT_EQ(embedded.StartOffset, row.EmbeddedStartOffset) << row.Bytes;
        EXPECT_EQ(start.ZipVolume, TZipVolumeCheck::zvNone) << row.Bytes;
    }
    const auto* central = reinterpret_cast<const std::uint8_t*>("PM\x01\x02");
    const auto* marker = reinterpret_cast<const std::uint8_t*>("PK\x07\x08");
    EXPECT_EQ(LookUpSignature(TSignatureMode::smStart, central).ZipVolume, TZipVolumeCheck::zvWithCentralDir);
    EXPECT_EQ(LookUpSignature(TSignatureMode::smEmbedded, marker).ZipVolume, TZipVolumeCheck::zvAlone);
}

// ---- plain files ----

struct PlainCase {
    const char* Name;
    std::string Bytes;
    TArcType Type;
    std::int64_t Start;
};

TEST(DetectArcType, PlainFiles) {
    const std::string bz2 = std::string("BZh9") + "\x31\x41\x59\x26\x53\x59";
    const PlainCase cases[] = {
        {"19 bytes are never an archive", Padded("Rar!", 19), atNA, -1},
        {"20 bytes can be", Padded("Rar!", 20), atRar, 0},
        {"empty", "", atNA, -1},
        {"BH", Padded("BH\x05\x07", 64), atBh, 0},
        {"PKG5 is known but unusable", Padded("PKG5", 64), atUnknown, -1},
        {"cabinet", Padded("MSCF", 64), atCab, 0},
        {"ARC self-extractor signature", Padded("\xB7\x92", 8000), atArcExe, 7716},
        {"ARC self-extractor too short for its archive", Padded("\xB7\x92", 7716), atNA, 0},
        {"MS GZ", Padded("\x13\x5D\x65\x8C", 64), atMsGZ, 0},
        {"LHA", Padded("\x20\x00-lh5-"s, 64), atLha, 0},
        {"PostScript reads as GZIP", Padded("%!PS-Adobe", 64, ' '), atGZip, 0},
        {"compress", Padded("\x1F\x9D\x90", 64), atGZip, 0},
        {"PAK", Padded("\x1A\x0A", 64), atPak, 0},
        {"ARJ", Padded("\x60\xEA", 64), atArj, 0},
        {"ZOO", Padded("ZOO 2.10 Archive.", 64), atZoo, 0},
        {"ZIP local header", Padded("PK\x03\x04", 64), atZip, 0},
        {"BZIP2", Padded(bz2, 64), atBz2, 0},
        {"BZIP2 needs the block magic", Padded("BZh9xxxxxx", 64), atNA, 0},
        {"ACE", Padded("\x01\x02\x03\x04\x05\x06\x07**acE**", 64), atAce, 0},
        {"UUE on a later line", Padded("To whom it may concern\nbegin 644 a.bin\nM9&%T80``\n", 64), atUUE, 0},
        {"uuencode mode 7xx", Padded("begin 755 tool\n", 64), atUUE, 0},
        {"not a mode digit", Padded("begin 5 x\n", 64), atNA, 0},
        {"MIME Base64 in any case", Padded("From: a\ncontent-transfer-encoding: BASE64\n\nAAAA\n", 64), atB64, 0},
        {"RAR behind other bytes is a self-extractor", Place(std::string(300, 'x'), 200, "Rar!"), atRarExe, 200},
        {"ARJ found by the scan", Place(Place(std::string(400, 'x'), 100, "\x60\xEA\x04\x00"s), 114, "\x60\xEA"),
         atArjExe, 100},
        {"ARJ scan wants the file header behind the main header",
         Place(Place(std::string(400, 'x'), 100, "\x60\xEA\x04\x00"s), 116, "\x60\xEA"), atNA, 0},
        {"LHA method name found by the scan", Place(std::string(400, 'x'), 102, "-lh5-"), atLhaExe, 100},
        {"BH found by the scan", Place(std::string(400, 'x'), 50, "BH\x05\x07"), atBhExe, 50},
        {"BH scan refuses the false signature", Place(std::string(400, 'x'), 50, "BH\x05\x07\x0F\x94\xC3\x84"), atNA,
         0},
        {"ACE found by the scan", Place(std::string(400, 'x'), 57, "**ACE**"), atAceExe, 50},
    };
    for (const PlainCase& c : cases) {
        const Detection d = Detect(c.Bytes);
        EXPECT_EQ(d.Type, c.Type) << c.Name;
        EXPECT_EQ(d.State.ArcStartOffset, c.Start) << c.Name;
        EXPECT_EQ(d.State.ArcSize, static_cast<std::int64_t>(c.Bytes.size())) << c.Name;
    }
}

// XZ and Zstandard streams have magic numbers; an LZMA "alone" file has none, so its name and a sane
// header must both agree.
TEST(DetectArcType, CompressedStreams) {
    // Properties 0x5D (lc 3, lp 0, pb 2), an 8 MiB dictionary, the size unknown: what xz --format=lzma writes.
    const std::string lzma = "\x5D\x00\x00\x80\x00\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00\x21"s;
    const struct {
        const char* Label;
        std::string Bytes;
        const char* FileName;
        TArcType Type;
    } cases[] = {
        {"XZ", Padded("\xFD" "7zXZ\x00"s, 64), "a.bin", atXz},
        {"XZ magic cut short", Padded("\xFD" "7zXZ\x01"s, 64), "a.xz", atNA},
        {"Zstandard frame", Padded("\x28\xB5\x2F\xFD"s, 64), "a.bin", atZstd},
        // zstd makes 13 bytes of an empty file, shorter than any archive.
        {"Zstandard frame of nothing", "\x28\xB5\x2F\xFD\x24\x00\x01\x00\x00\x99\xE9\xD8\x51"s, "a.zst", atZstd},
        {"XZ shorter than its headers", Padded("\xFD" "7zXZ\x00"s, 19), "a.xz", atNA},
        {"skippable frame first", Padded("\x5A\x2A\x4D\x18"s, 64), "a.bin", atZstd},
        {"not a skippable magic", Padded("\x5A\x2A\x4D\x19"s, 64), "a.bin", atNA},
        {"LZMA alone under its name", Padded(lzma, 64), "notes.txt.LZMA", atXz},
        {"LZMA header under another name", Padded(lzma, 64), "notes.bin", atNA},
        {"properties out of range", Padded("\xE1" + lzma.substr(1), 64), "a.lzma", atNA},
        {"dictionary beyond what xz takes", Padded("\x5D\x00\x00\x00\x80"s + lzma.substr(5), 64), "a.lzma", atNA},
        {"12 MiB dictionary", Padded("\x5D\x00\x00\xC0\x00"s + lzma.substr(5), 64), "a.lzma", atXz},
        {"dictionary no tool writes", Padded("\x5D\x01\x00\x80\x00"s + lzma.substr(5), 64), "a.lzma", atNA},
        // A TAR whose first name would pass the rest ("1234/", then zeros).
        {"TAR named .lzma", Padded("1234/", 64), "a.lzma", atNA},
        {"absurd size", Padded(lzma.substr(0, 5) + "\x00\x00\x00\x00\x00\x00\x00\x10"s, 64), "a.lzma", atNA},
    };
    for (const auto& c : cases) {
        const Detection d = Detect(c.Bytes, c.FileName);
        EXPECT_EQ(d.Type, c.Type) << c.Label;
        if (c.Type != atNA) {
            EXPECT_EQ(d.State.ArcStartOffset, 0) << c.Label;
        }
    }
}

TEST(DetectArcType, JarIsAZipNamedJar) {
    const std::string zip = MakeZip();
    EXPECT_EQ(Detect(zip, "dir/x.jar").Type, atJar);
    EXPECT_EQ(Detect(zip, "dir/X.JAR").Type, atJar);
    EXPECT_EQ(Detect(zip, "dir/x.zip").Type, atZip);
    EXPECT_EQ(Detect(zip, "dir.jar/x").Type, atZip);
    EXPECT_EQ(Detect(zip, "").Type, atZip);
}

TEST(DetectArcType, MacBinaryHeaderBeforeLha) {
    std::string file(128, '\0');
    file[1] = 5;  // MacBinary: a file name length follows the zero version byte
    file.replace(2, 5, "a.lzh");
    file += Padded("\x20\x00-lh5-"s, 64);
    const Detection d = Detect(file);
    EXPECT_EQ(d.Type, atLha);
    EXPECT_EQ(d.State.ArcStartOffset, 128);
}

TEST(DetectArcType, ZipBehindZeroBytes) {
    // Stored offsets do not count the zeros: the central directory says where they went.
    const Detection verified = Detect(MakeZip(ZipLayout().WithPrefix(std::string(100, '\0'))));
    EXPECT_EQ(verified.Type, atZip);
    EXPECT_EQ(verified.State.ZipPrefixSize, 100u);
    EXPECT_EQ(verified.State.ZipLayoutFlags.Bits(), Bits({htLocal, htCentral, htEnding}));

    // Without an end record nothing is verified: the first local header is where the zeros end.
    const Detection unverified = Detect(Padded(std::string(100, '\0') + "PK\x03\x04", 200));
    EXPECT_EQ(unverified.Type, atZip);
    EXPECT_EQ(unverified.State.ArcStartOffset, 100);
    EXPECT_EQ(unverified.State.ZipLayoutFlags.Bits(), Bits({htLocal}));
}

TEST(DetectArcType, JunkPrefixedZipIsFoundByItsEndRecord) {
    const std::string junk(300, 'j');
    const std::string zip = MakeZip(ZipLayout().WithPrefix(junk));
    const std::int64_t central = static_cast<std::int64_t>(junk.size()) + 40;
    const Detection d = Detect(zip);
    EXPECT_EQ(d.Type, atZip);
    EXPECT_EQ(d.State.ArcStartOffset, central);
    EXPECT_EQ(d.State.ZipPrefixSize, 300u);
    EXPECT_EQ(d.State.ZipLayoutFlags.Bits(), Bits({htLocal, htCentral, htEnding}));
    EXPECT_TRUE(d.Errors.empty());

    const Detection adjusted = Detect(MakeZip(ZipLayout().WithPrefix(junk).WithAdjustedOffsets()));
    EXPECT_EQ(adjusted.Type, atZip);
    EXPECT_EQ(adjusted.State.ZipPrefixSize, 0u);
    EXPECT_EQ(adjusted.State.ZipLayoutFlags.Bits(), Bits({htLocal, htCentral, htEnding}));
}

TEST(DetectArcType, ZipRecordsAndTheirFlags) {
    struct Case {
        const char* Name;
        ZipLayout Layout;
        std::uint8_t Flags;
    };
    const Case cases[] = {
        {"plain", {}, Bits({htLocal, htCentral, htEnding})},
        {"ZIP64 end record and locator", ZipLayout().WithZip64(),
         Bits({htLocal, htCentral, htEnding, htLocator, htEnding64})},
        {"locator alone", ZipLayout().WithLocatorOnly(), Bits({htLocal, htCentral, htEnding, htLocator})},
        {"ZIP64 behind junk", ZipLayout().WithPrefix(std::string(77, 'j')).WithZip64(),
         Bits({htLocal, htCentral, htEnding, htLocator, htEnding64})},
        {"enciphered end record", ZipLayout().WithEncipheredEnd(), Bits({htLocal, htCentral, htEnding})},
        {"enciphered central header", ZipLayout().WithEncipheredCentral(), Bits({htLocal, htCentral, htEnding})},
        {"local header not where the directory says", ZipLayout().WithLocalOffset(3), Bits({htCentral, htEnding})},
    };
    for (const Case& c : cases) {
        const std::string zip = MakeZip(c.Layout);
        const Detection d = Detect(zip);
        EXPECT_EQ(d.Type, atZip) << c.Name;
        EXPECT_EQ(d.State.ZipLayoutFlags.Bits(), c.Flags) << c.Name;
        EXPECT_TRUE(d.Errors.empty()) << c.Name;
        // The copies are kept deciphered for the readers.
        EXPECT_EQ(d.State.FirstCentralHeader[42] | (d.State.FirstCentralHeader[43] << 8),
                  c.Layout.LocalOffset.value_or(0))
            << c.Name;
        EXPECT_EQ(d.State.EndRecord.size(), 22u) << c.Name;
        EXPECT_EQ(d.State.EndRecord[10], 1) << c.Name;  // one entry
    }
}

TEST(DetectArcType, WideEndRecord) {
    std::string zip = MakeZip();
    const std::size_t end_at = zip.size() - 22;
    const std::uint32_t offset = 40;  // where MakeZip puts the central header
    std::string wide = zip.substr(0, end_at) + "P[\x05\x06";
    wide += zip.substr(end_at + 4, 12);  // disk numbers, counts, directory size
    test::Put64(wide, offset);
    test::Put16(wide, 0);
    const Detection d = Detect(wide);
    EXPECT_EQ(d.Type, atZip);
    EXPECT_EQ(d.State.ZipLayoutFlags.Bits(), Bits({htLocal, htCentral, htEnding}));
    EXPECT_EQ(d.State.EndRecord.size(), 26u);
}

TEST(DetectArcType, InconsistentDirectoryIsReportedOnce) {
    // The first entry's local header would lie beyond the end of the file.
    const Detection d = Detect(MakeZip(ZipLayout().WithLocalOffset(0x7FFFFFF0)));
    EXPECT_EQ(d.Type, atUnsupported);
    EXPECT_EQ(d.Errors, std::vector<int>{ecode::kBadFileHeader});

    // Junk in front sends it through the end-record search, the signature scan and the ZIP checks.
    const Detection prefixed = Detect(MakeZip(ZipLayout().WithPrefix("junk").WithLocalOffset(0x7FFFFFF0)));
    EXPECT_EQ(prefixed.Type, atUnsupported);
    EXPECT_EQ(prefixed.Errors, std::vector<int>{ecode::kBadFileHeader});
}

TEST(DetectArcType, EndRecordWithoutDirectoryFallsBackToLocalHeaders) {
    std::string zip = MakeZip();
    zip.replace(40, 4, "XXXX");  // spoil the central header
    const Detection d = Detect(zip);
    EXPECT_EQ(d.Type, atZip);
    EXPECT_EQ(d.State.ZipLayoutFlags.Bits(), Bits({htLocal}));
    EXPECT_EQ(d.State.ArcStartOffset, 0);
}

class RecordingSink : public TArchiveCommentSink {
public:
    void ReceiveComment(std::uint32_t signature, std::int64_t central, std::int64_t end, const std::uint8_t* comment,
                        std::size_t size) override {
        Signature = signature, Central = central, End = end;
        Comment.assign(reinterpret_cast<const char*>(comment), size);
    }
    std::uint32_t Signature = 0;
    std::int64_t Central = -1;
    std::int64_t End = -1;
    std::string Comment;
};

TEST(FindCentralDir, HandsTheArchiveCommentToTheSink) {
    const std::string zip = MakeZip(ZipLayout().WithComment("archive comment"));
    BytesStream stream(zip);
    RecordingSink sink;
    TArcDetection state;
    TDetectionContext context;
    context.CommentSink = &sink;
    EXPECT_EQ(FindCentralDir(stream, static_cast<std::int64_t>(zip.size()), 0, state, context), 40);
    EXPECT_EQ(sink.Signature, 0x06054B50u);
    EXPECT_EQ(sink.Central, 40);
    EXPECT_EQ(sink.End, static_cast<std::int64_t>(zip.size() - 22 - 15));
    EXPECT_EQ(sink.Comment, "archive comment");
}

TEST(FindCentralDir, NothingToSearch) {
    TArcDetection state;
    TDetectionContext context;
    BytesStream empty("");
    EXPECT_EQ(FindCentralDir(empty, 0, 0, state, context), 0);
    const std::string zip = MakeZip();
    BytesStream stream(zip);
    EXPECT_EQ(FindCentralDir(stream, 10, 10, state, context), 0);
    EXPECT_EQ(FindCentralDir(stream, 10, static_cast<std::int64_t>(zip.size()), state, context), 0);
}

// ---- the ZIP volume rule ----

TEST(DetectArcType, ZipVolumeRuleAsksTheDrive) {
    const std::string first_segment = "PK\x07\x08" + MakeZip().substr(0, 40);
    const auto drive = [](bool valid, bool removable, std::string label) {
        return [=](const std::string&) { return MakeDrive(valid, removable, label); };
    };
    EXPECT_EQ(Detect(first_segment, "a.z01", drive(true, true, "pkback# 001")).Type, atZipDS);
    EXPECT_EQ(Detect(first_segment, "a.z01", drive(true, true, "BACKUP")).Type, atZipMV);
    EXPECT_EQ(Detect(first_segment, "a.z01", drive(true, false, "PKBACK# 001")).Type, atZipMV);
    EXPECT_NE(Detect(first_segment, "a.z01", drive(false, false, "")).Type, atZipMV);

    const Detection last = Detect(first_segment, "a.z01", drive(true, false, ""));
    EXPECT_EQ(last.State.ZipLayoutFlags.Bits(), Bits({htLocal}));

    // A last volume: its end record names a disk other than the first.
    std::string zip = MakeZip(ZipLayout().WithPrefix("x"));
    zip[zip.size() - 18] = 2;
    EXPECT_EQ(Detect(zip, "a.zip", drive(true, false, "")).Type, atZipMV);
    zip[zip.size() - 18] = 0;
    EXPECT_EQ(Detect(zip, "a.zip", drive(true, false, "")).Type, atZip);
}

// ---- TAR ----

TEST(DetectArcType, TarByHeaderChecksum) {
    const std::string data = Padded("hello", 512);
    struct Case {
        const char* Name;
        std::string Bytes;
        TArcType Type;
        std::int64_t Start;
    };
    const std::string header = TarHeader({.name = "a.txt", .size = 5});
    const std::string label = TarHeader({.name = "a.txt", .size = 5, .type = 'V'});
    std::string spoiled = header + data;
    spoiled[0] = 'b';
    const Case cases[] = {
        {"ustar", header + data, atTar, 0},
        {"checksum padded with blanks", TarHeader({.name = "a.txt", .size = 5, .checksum_format = " %06o "}) + data,
         atTar, 0},
        {"volume label first", label + header + data, atTar, 512},
        {"wrong checksum", spoiled, atNA, 0},
        {"one block only", header, atNA, 0},
        {"label before a block that is no header", label + std::string(1024, '\0'), atNA, 0},
    };
    for (const Case& c : cases) {
        const Detection d = Detect(c.Bytes);
        EXPECT_EQ(d.Type, c.Type) << c.Name;
        EXPECT_EQ(d.State.ArcStartOffset, c.Start) << c.Name;
    }
}

// ---- executables ----

std::string Executable(std::size_t size) { return Padded("MZ", size); }

TEST(DetectArcType, SelfExtractorProbes) {
    struct Case {
        const char* Name;
        std::string Bytes;
        TArcType Type;
        std::int64_t Start;
    };
    const std::string zip_at_7612 = MakeZip(ZipLayout().WithPrefix(Executable(7612)).WithAdjustedOffsets());
    const Case cases[] = {
        {"ARC at the first probe", Place(Executable(20000), 6674, "\x1A\x08"), atArcExe, 6674},
        {"PAK at the last probe", Place(Executable(20000), 13138, "\x1A\x0B"), atPakExe, 13138},
        {"probe beyond the file is skipped", Place(Executable(13140), 8601, "\x1A\x0A"), atPakExe, 8601},
        {"LHA method name at 1947", Place(Executable(20000), 1947, "-lh5-"), atLhaExe, 1945},
        {"ZIP at 7612 with its directory", zip_at_7612, atZipExe, 7612 + 40},
        {"ZIP at 25661 without a directory", Place(Executable(30000), 25661, "PK\x03\x04"), atZipExe, 25661},
        {"the LHA probe needs bytes behind it", Place(Executable(1949), 1947, "-l"), atNA, 0},
        {"bare stub", Executable(30000), atNA, 0},
    };
    for (const Case& c : cases) {
        const Detection d = Detect(c.Bytes, "setup.exe");
        EXPECT_EQ(d.Type, c.Type) << c.Name;
        EXPECT_EQ(d.State.ArcStartOffset, c.Start) << c.Name;
    }
    // The executable flag survives the directory search.
    EXPECT_EQ(Detect(Executable(30000)).State.ZipLayoutFlags.Bits(), Bits({htSfx}));
    EXPECT_EQ(Detect(zip_at_7612).State.ZipLayoutFlags.Bits(), Bits({htLocal, htCentral, htEnding, htSfx}));
}

TEST(DetectArcType, ArchiveOffsetInStringResources) {
    const std::string ace_header = "\x11\x22\x33\x44\x00\x00\x00**ACE**"s;
    struct Case {
        const char* Name;
        std::map<std::uint32_t, std::u16string> Strings;
        std::size_t At;
        std::string Archive;
        TArcType Type;
        std::int64_t Start;
    };
    const Case cases[] = {
        {"ACE at resource 1", {{1, u"4096"}}, 4096, ace_header, atAceExe, 4096},
        {"RAR at resource 1", {{1, u"4096"}}, 4096, "Rar!\x1A\x07\x00xxxxxxx"s, atRarExe, 4096},
        {"the next identifier is tried", {{1, u"100"}, {2, u"4096"}}, 4096, "Rar!\x1A\x07\x00xxxxxxx"s, atRarExe, 4096},
        {"a known signature that is unusable here stands",
         {{1, u"4096"}},
         4096,
         "\x1F\x8B\x08xxxxxxxxxxx",
         atUnsupported,
         4096},
        {"a string that is no number ends the search", {{1, u"4x96"}}, 4096, "Rar!\x1A\x07\x00xxxxxxx"s, atNA, 0},
        {"an offset beyond the file ends the search", {{1, u"99999"}}, 4096, "Rar!\x1A\x07\x00xxxxxxx"s, atNA, 0},
        {"a missing string ends the search", {{2, u"4096"}}, 4096, "Rar!\x1A\x07\x00xxxxxxx"s, atNA, 0},
    };
    for (const Case& c : cases) {
        const std::string exe = Place(test::MakePeWithStrings(c.Strings, 8192), c.At, c.Archive);
        const Detection d = Detect(exe, "setup.exe");
        EXPECT_EQ(d.Type, c.Type) << c.Name;
        EXPECT_EQ(d.State.ArcStartOffset, c.Start) << c.Name;
    }

    // A ZIP at the resource offset is verified by its end record.
    const std::string stub = test::MakePeWithStrings({{1, u"4096"}}, 4096);
    const Detection zip = Detect(MakeZip(ZipLayout().WithPrefix(stub).WithAdjustedOffsets()), "setup.exe");
    EXPECT_EQ(zip.Type, atZipExe);
    EXPECT_EQ(zip.State.ArcStartOffset, 4096 + 40);
}

TEST(DetectArcType, ArjBehindTheDosImage) {
    // e_cblp = 0x100, e_cp = 2: the image ends at 512 + 256.
    const std::string stub = Padded("MZ\x00\x01\x02\x00"s, 768);
    const std::string arj_header = "\x60\xEA\x04\x00xxxxxxxx"s;
    EXPECT_EQ(Detect(Padded(stub + arj_header, 2000)).State.ArcStartOffset, 768);
    const Detection gap = Detect(Padded(stub + "\x00\x00"s + arj_header, 2000));
    EXPECT_EQ(gap.Type, atArjExe);
    EXPECT_EQ(gap.State.ArcStartOffset, 770);
}

TEST(DetectArcType, ScanOfExecutablesAndTheCabinetRule) {
    const Detection exe_cab = Detect(Place(Executable(30000), 20000, "MSCF\0\0\0\0"s));
    EXPECT_EQ(exe_cab.Type, atCabExe);
    EXPECT_EQ(exe_cab.State.ArcStartOffset, 20000);
    // Before 17000 the scan of an executable does not look.
    EXPECT_EQ(Detect(Place(Executable(30000), 16000, "Rar!")).Type, atNA);

    // In a plain file a cabinet ends the scan of its block; later blocks are still searched.
    const std::string cab = "MSCF\0\0\0\0"s;
    EXPECT_EQ(Detect(Place(Padded("x", 3000, 'x'), 1000, cab)).Type, atNA);
    EXPECT_EQ(Detect(Place(Place(Padded("x", 3000, 'x'), 1000, cab), 2000, "Rar!")).Type, atNA);
    const Detection later = Detect(Place(Place(Padded("x", 50000, 'x'), 1000, cab), 40000, "Rar!"));
    EXPECT_EQ(later.Type, atRarExe);
    EXPECT_EQ(later.State.ArcStartOffset, 40000);
    // The scan reads 11 blocks and no more.
    EXPECT_EQ(Detect(Place(Padded("x", 400000, 'x'), 11 * 32768 + 10, "Rar!")).Type, atNA);
}

// ---- state, hooks and robustness ----

class ProgressWatchingStream : public BytesStream {
public:
    using BytesStream::BytesStream;
    std::int64_t Read(void* buffer, std::int64_t count) override {
        if (OnProgress) ProgressSeen = true;
        return BytesStream::Read(buffer, count);
    }
    bool ProgressSeen = false;
};

TEST(DetectArcType, ResetsItsStateAndDetachesProgress) {
    ProgressWatchingStream stream(MakeZip());
    int progress_calls = 0;
    stream.OnProgress = [&progress_calls](std::int64_t) { ++progress_calls; };
    TArcDetection state;
    state.ArcDate = 0x12345678;
    state.ZipPrefixSize = 77;
    state.ZipLayoutFlags = THeaderTypeState(0xFF);
    EXPECT_EQ(DetectArcType(stream, state, {}), atZip);
    EXPECT_FALSE(stream.ProgressSeen);
    ASSERT_TRUE(stream.OnProgress);
    EXPECT_EQ(state.ArcDate, 0x12345678u);
    EXPECT_EQ(state.ZipPrefixSize, 0u);
    EXPECT_EQ(state.ZipLayoutFlags.Bits(), Bits({htLocal, htCentral, htEnding}));
}

TEST(DetectArcType, HostileInputsAreHandled) {
    std::mt19937 random(20240611);
    const auto noise = [&random](std::size_t size) {
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        return bytes;
    };
    // Every truncation of archives in several layouts.
    for (const ZipLayout& layout : {ZipLayout(), ZipLayout().WithPrefix("MZ" + std::string(30, 'x')).WithZip64(),
                                    ZipLayout().WithEncipheredEnd().WithEncipheredCentral()}) {
        const std::string zip = MakeZip(layout);
        for (std::size_t size = 0; size <= zip.size(); ++size) Detect(zip.substr(0, size));
    }
    // End records whose sizes and offsets point anywhere.
    for (int i = 0; i < 300; ++i) {
        ZipLayout layout = ZipLayout().WithPrefix(noise(random() % 64));
        if (i % 2 == 0) layout.WithZip64();
        std::string zip = MakeZip(layout);
        const std::size_t end_at = zip.size() - 22;
        zip.replace(end_at + 12, 8, noise(8));
        if (i % 2 == 0) zip.replace(end_at - 76 + 40, 16, noise(16));
        if (i % 3 == 0) zip.replace(end_at - 20 + 8, 8, noise(8));
        if (i % 5 == 0) zip[end_at + 1] = '[';
        const Detection d = Detect(zip);
        EXPECT_TRUE(!IsKnownType(d.Type) || d.State.ArcStartOffset >= 0);
    }
    // Noise, with and without executable and ZIP signatures sprinkled in.
    for (int i = 0; i < 200; ++i) {
        std::string bytes = noise(random() % 70000);
        if (i % 2 == 0 && bytes.size() > 2) bytes.replace(0, 2, "MZ");
        for (int k = 0; k < 8 && bytes.size() > 30; ++k) {
            bytes.replace(random() % (bytes.size() - 22), 4, k % 2 ? "PK\x05\x06" : "PK\x01\x02");
        }
        const Detection d = Detect(bytes);
        EXPECT_TRUE(!IsKnownType(d.Type) || d.State.ArcStartOffset >= 0);
    }
}

// Counts the bytes read through it from another stream.
class ByteCountingStream : public TStream32 {
public:
    explicit ByteCountingStream(TStream32& inner) : inner_(inner) {}
    std::int64_t Read(void* buffer, std::int64_t count) override {
        const std::int64_t got = inner_.Read(buffer, count);
        BytesRead += got;
        return got;
    }
    std::int64_t Write(const void* buffer, std::int64_t count) override { return inner_.Write(buffer, count); }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override { return inner_.Seek(offset, origin); }
    std::int64_t BytesRead = 0;

private:
    TStream32& inner_;
};

TEST(DetectArcType, HugeFileReadsOnlyBoundedWindows) {
    test::TempDir dir;
    const std::string path = (dir / "huge.bin").string();
    {
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        const bool grown = ::ftruncate(fd, std::int64_t{10} << 30) == 0;
        ::close(fd);
        if (!grown) GTEST_SKIP() << "the file system refuses a 10 GiB sparse file";
    }
    for (const std::string& head : {std::string(), std::string("MZ")}) {
        TFileStream32 file(path, TFileOpenMode::fmOpenReadWrite);
        ASSERT_TRUE(file.IsValid());
        if (!head.empty()) file.WriteFull(head.data(), static_cast<std::int64_t>(head.size()));
        ByteCountingStream stream(file);
        TArcDetection state;
        EXPECT_EQ(DetectArcType(stream, state, {}), atNA);
        EXPECT_EQ(state.ArcSize, std::int64_t{10} << 30);
        // The head, the end window, the TAR block and at most 11 scan blocks.
        EXPECT_LE(stream.BytesRead, 14 * 32768 + 4096) << head;
    }
}

TEST(DetectArcType, ArchivesMadeByInfoZip) {
    if (!test::HaveProgram("zip")) GTEST_SKIP() << "zip is not installed";
    test::TempDir dir;
    test::WriteFile(dir / "notes.txt", std::string(5000, 'n'));
    for (const std::string options : {"-q", "-q -P secret"}) {
        const std::string archive = (dir / "made.zip").string();
        std::filesystem::remove(archive);
        ASSERT_EQ(test::RunCommand("cd '" + dir.Path().string() + "' && zip " + options + " made.zip notes.txt"), 0);
        TFileStream32 stream(archive, TFileOpenMode::fmOpenRead);
        TArcDetection state;
        TDetectionContext context;
        context.ArchiveFile = archive;
        EXPECT_EQ(DetectArcType(stream, state, context), atZip) << options;
        EXPECT_EQ(state.ZipLayoutFlags.Bits(), Bits({htLocal, htCentral, htEnding})) << options;
        EXPECT_EQ(state.ArcStartOffset, 0) << options;
    }
}

}  // namespace
}  // namespace kv
