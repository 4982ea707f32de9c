#include "engine/writers/writer_for_type.h"

#include "engine/core/packed_tar_types.h"
#include "engine/writers/bzip2_writer.h"
#include "engine/writers/gzip_writer.h"
#include "engine/writers/tar_writer.h"
#include "engine/writers/xz_writer.h"
#include "engine/writers/zip_writer.h"
#include "engine/writers/zstd_writer.h"

namespace kv {

std::unique_ptr<TCompBase> CreateWriter(TArcType type) {
    switch (type) {
        case atJar:
        case atJarExe: return std::make_unique<TJar>();
        case atZip:
        case atZipExe: return std::make_unique<TZip>();
        case atTar: return std::make_unique<TTar>();
        case atTarGZip:
        case atTarXz:
        case atTarZstd: {
            auto writer = std::make_unique<TTar>();
            writer->SetCompressMethod(TarMethodFor(type));
            return writer;
        }
        case atGZip: return std::make_unique<TGZip>();
        case atBz2: return std::make_unique<TBZip2>();
        case atXz: return std::make_unique<TXz>();
        case atZstd: return std::make_unique<TZstd>();
        default: return nullptr;
    }
}

}  // namespace kv
