#include "engine/writers/format_writers.h"

#include <algorithm>
#include <iterator>

#include "engine/writers/bzip2_writer.h"
#include "engine/writers/gzip_writer.h"
#include "engine/core/packed_tar_types.h"
#include "engine/writers/tar_writer.h"
#include "engine/writers/xz_writer.h"
#include "engine/writers/zip_writer.h"
#include "engine/writers/zstd_writer.h"

namespace kv {
namespace {

template <class Writer>
std::unique_ptr<TCompBase> Make() {
    return std::make_unique<Writer>();
}

// A TAR packed whole into a compressor's file.
template <TArcType PackedTar>
std::unique_ptr<TCompBase> MakePackedTar() {
    auto writer = std::make_unique<TTar>();
    writer->SetCompressMethod(TarMethodFor(PackedTar));
    return writer;
}

constexpr TFormatWriting kWritings[] = {
    {atJar, Make<TJar>},
    {atJarExe, Make<TJar>},
    {atZip, Make<TZip>},
    {atZipExe, Make<TZip>},
    {atTar, Make<TTar>},
    {atTarGZip, MakePackedTar<atTarGZip>},
    {atTarXz, MakePackedTar<atTarXz>},
    {atTarZstd, MakePackedTar<atTarZstd>},
    {atGZip, Make<TGZip>},
    {atBz2, Make<TBZip2>},
    {atXz, Make<TXz>},
    {atZstd, Make<TZstd>},
};

}  // namespace

const TFormatWriting& WritingOf(TArcType type) {
    static constexpr TFormatWriting kNone{};
    const auto it = std::find_if(std::begin(kWritings), std::end(kWritings),
                                 [type](const TFormatWriting& row) { return row.Type == type; });
    return it == std::end(kWritings) ? kNone : *it;
}

std::unique_ptr<TCompBase> CreateWriter(TArcType type) {
    const TFormatWriting& writing = WritingOf(type);
    return writing.Writer ? writing.Writer() : nullptr;
}

}  // namespace kv
