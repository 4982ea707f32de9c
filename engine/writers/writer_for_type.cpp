#include "engine/writers/writer_for_type.h"

#include "engine/writers/bzip2_writer.h"
#include "engine/writers/gzip_writer.h"
#include "engine/writers/tar_writer.h"
#include "engine/writers/zip_writer.h"

namespace kv {

std::unique_ptr<TCompBase> CreateWriter(TArcType type) {
    switch (type) {
        case atJar:
        case atJarExe: return std::make_unique<TJar>();
        case atZip:
        case atZipExe: return std::make_unique<TZip>();
        case atTar: return std::make_unique<TTar>();
        case atTarGZip: {
            auto writer = std::make_unique<TTar>();
            writer->SetCompressMethod(cmTarGzip);
            return writer;
        }
        case atGZip: return std::make_unique<TGZip>();
        case atBz2: return std::make_unique<TBZip2>();
        default: return nullptr;
    }
}

}  // namespace kv
