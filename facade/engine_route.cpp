#include "facade/engine_route.h"

#include "engine/core/formats.h"
#include "engine/core/stream32.h"
#include "zipmanager/zip_end_record.h"

namespace kv::facade {
namespace {

// Whether the ZIP manager finds the end record it reads the directory from (a file it cannot open is its
// to report).
bool HasZipEndRecord(const std::string& file) {
    TFileStream32 stream(file, TFileOpenMode::fmOpenRead);
    TZipEndRecord record;
    return !stream.IsValid() || FindZipEndRecord(stream, record) == TEndRecordSearch::Found;
}

}  // namespace

TEngineRoute EngineRouteFor(TArcType type, const std::string& file) {
    if (FormatOf(type).Has(ftZipManager) && (file.empty() || HasZipEndRecord(file))) return TEngineRoute::erZipManager;
    return TEngineRoute::erEngine;
}

}  // namespace kv::facade
