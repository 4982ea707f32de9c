#pragma once

#include <cstdint>

namespace kv {

class TArcLister;
class TStream32;

// The per-format header walks of the lister; each lists the lister's open archive from the detected
// start offset, offering every entry through TArcLister::OfferEntry.
void ListZip(TArcLister& lister);    // ZIP family and JAR
void ListTar(TArcLister& lister);
// The TAR walk over `archive` (`size` bytes, or more than any stream holds when unknown) from `start`.
void ListTarIn(TArcLister& lister, TStream32& archive, std::int64_t size, std::int64_t start);
// With ListDecoded: a GZIP, compress, BZIP2, XZ or Zstandard file whose decoded file is a TAR is listed as that TAR,
// read as it is decoded; false (nothing listed) when it holds none.
bool ListCompressedTar(TArcLister& lister);
void ListGzip(TArcLister& lister);   // GZIP family, compress and MsGZ single files
void ListBzip2(TArcLister& lister);
void ListCompressedStream(TArcLister& lister);  // XZ (and LZMA) and Zstandard single files
void ListUue(TArcLister& lister);    // UUE and Base64
void ListLha(TArcLister& lister);
void ListArj(TArcLister& lister);
void ListArc(TArcLister& lister);    // ARC and PAK
void ListZoo(TArcLister& lister);
void ListBh(TArcLister& lister);
void ListHa(TArcLister& lister);
void ListCab(TArcLister& lister);
void ListRar(TArcLister& lister);    // RAR 1.5 to 4 and RAR 5
void ListAce(TArcLister& lister);

}  // namespace kv
