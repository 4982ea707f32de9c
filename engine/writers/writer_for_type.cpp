#include "engine/writers/writer_for_type.h"

#include "engine/writers/zip_writer.h"

namespace kv {

std::unique_ptr<TCompBase> CreateWriter(TArcType type) {
    switch (type) {
        case atJar:
        case atJarExe: return std::make_unique<TJar>();
        case atZip:
        case atZipExe: return std::make_unique<TZip>();
        default: return nullptr;
    }
}

}  // namespace kv
