// Extracts one GZIP, compress or BZIP2 file with the engine's reader into a folder (bench/gunzip.sh).
#include <cstdio>
#include <memory>

#include "engine/readers/format_readers.h"
#include "engine/readers/un_single_file.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: gunzip_bench gz|bz2 ARCHIVE FOLDER\n");
        return 2;
    }
    const bool bzip2 = argv[1][0] == 'b';
    std::unique_ptr<kv::TUnBase> reader = kv::CreateReader(bzip2 ? kv::atBz2 : kv::atGZip);
    int failures = 0;
    reader->OnError = [&](kv::TObject*, const std::string&, const std::string&, const std::string&, int) { ++failures; };
    reader->OnEnd = [&](kv::TObject*, const std::string&, bool pass) { failures += pass ? 0 : 1; };
    // The TAR file itself is what is measured, not its contents.
    static_cast<kv::TUnSingleFile&>(*reader).OnNestedTarFile = [](kv::TObject*, const std::string&, bool& untar) {
        untar = false;
    };
    reader->SetArchiveFile(argv[2]);
    reader->FileSpec = {"*.*"};
    reader->OverwriteMode = kv::omOverwrite;
    reader->SetExtractDir(argv[3]);
    const int extracted = reader->Extract();
    return extracted == 1 && failures == 0 ? 0 : 1;
}
