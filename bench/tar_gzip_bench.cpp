// Writes FOLDER into a new ARCHIVE.tar.gz (or .tar) through the TAR writer, as `kv` and the GUI do.
#include <cstdio>
#include <string>

#include "engine/writers/tar_writer.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ARCHIVE.tar.gz|ARCHIVE.tar FOLDER\n", argv[0]);
        return 2;
    }
    const std::string archive = argv[1];
    std::remove(archive.c_str());
    kv::TTar writer;
    if (archive.size() > 3 && archive.compare(archive.size() - 3, 3, ".gz") == 0) writer.SetCompressMethod(kv::cmTarGzip);
    writer.SetArchiveFile(archive);
    writer.FileSpec = {std::string(argv[2]) + "/*"};
    int failures = 0;
    writer.OnError = [&](kv::TObject*, const std::string& file, const std::string&, const std::string&, int code) {
        std::fprintf(stderr, "%d %s\n", code, file.c_str());
        ++failures;
    };
    const int written = writer.Compress();
    std::printf("%d files\n", written);
    return written > 0 && failures == 0 ? 0 : 1;
}
