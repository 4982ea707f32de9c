#include "engine/readers/reader_for_type.h"

#include "engine/readers/un_bzip2.h"
#include "engine/readers/un_gzip.h"
#include "engine/readers/un_tar.h"
#include "engine/readers/un_xz.h"
#include "engine/readers/un_zip.h"
#include "engine/readers/un_zstd.h"

namespace kv {

std::unique_ptr<TUnBase> CreateReader(TArcType type) {
    switch (type) {
        case atZip:
        case atZipExe:
        case atZipMV: return std::make_unique<TUnZip>();
        case atJar:
        case atJarExe: return std::make_unique<TUnJar>();
        case atGZip: return std::make_unique<TUnGZip>();
        case atBz2: return std::make_unique<TUnBZip2>();
        case atXz: return std::make_unique<TUnXz>();
        case atZstd: return std::make_unique<TUnZstd>();
        case atTar: return std::make_unique<TUnTar>();
        default: return nullptr;
    }
}

}  // namespace kv
