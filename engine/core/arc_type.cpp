#include "engine/core/arc_type.h"

#include "engine/core/formats.h"

namespace kv {

bool IsCompressableType(TArcType t) { return FormatOf(t).Has(ftCompressable); }
bool IsDecompressableType(TArcType t) { return FormatOf(t).Has(ftDecompressable); }
bool IsTestableType(TArcType t) { return FormatOf(t).Has(ftTestable); }
bool IsZipWritableType(TArcType t) { return FormatOf(t).Has(ftZipWritable); }
bool IsCipherCapableType(TArcType t) { return FormatOf(t).Has(ftCipherCapable); }
bool IsOutsideDecoderType(TArcType t) { return FormatOf(t).Has(ftOutsideDecoder); }

std::string_view ArcTypeDisplayName(TArcType t) { return t < kArcTypeCount ? FormatOf(t).DisplayName : std::string_view{}; }
std::string_view ArcTypeValueName(TArcType t) { return t < kArcTypeCount ? FormatOf(t).ValueName : std::string_view{}; }

}  // namespace kv
