#include "engine/writers/writer_for_type.h"

namespace kv {

std::unique_ptr<TCompBase> CreateWriter(TArcType) { return nullptr; }

}  // namespace kv
