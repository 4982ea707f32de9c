#include "engine/readers/reader_for_type.h"

#include "engine/readers/un_tar.h"
#include "engine/readers/un_zip.h"

namespace kv {

std::unique_ptr<TUnBase> CreateReader(TArcType type) {
    switch (type) {
        case atZip:
        case atZipExe:
        case atZipMV: return std::make_unique<TUnZip>();
        case atJar:
        case atJarExe: return std::make_unique<TUnJar>();
        case atTar: return std::make_unique<TUnTar>();
        default: return nullptr;
    }
}

}  // namespace kv
