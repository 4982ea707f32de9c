#include "engine/readers/format_readers.h"

#include <algorithm>
#include <array>

#include "engine/readers/list_walks.h"
#include "engine/readers/un_arj.h"
#include "engine/readers/un_bzip2.h"
#include "engine/readers/un_gzip.h"
#include "engine/readers/un_lha.h"
#include "engine/readers/un_tar.h"
#include "engine/readers/un_xz.h"
#include "engine/readers/un_zip.h"
#include "engine/readers/un_zoo.h"
#include "engine/readers/un_zstd.h"

namespace kv {
namespace {

template <class Reader>
std::unique_ptr<TUnBase> Make() {
    return std::make_unique<Reader>();
}

constexpr TFormatReading kReadings[] = {
    {atZip, ListZip, Make<TUnZip>},
    {atZipExe, ListZip, Make<TUnZip>},
    {atZipDS, ListZip},
    {atZipMV, ListZip, Make<TUnZip>},
    {atJar, ListZip, Make<TUnJar>},
    {atJarExe, ListZip, Make<TUnJar>},
    {atTar, ListTar, Make<TUnTar>},
    {atGZip, ListGzip, Make<TUnGZip>},
    {atMsGZ, ListGzip},
    {atBz2, ListBzip2, Make<TUnBZip2>},
    {atXz, ListCompressedStream, Make<TUnXz>},
    {atZstd, ListCompressedStream, Make<TUnZstd>},
    {atUUE, ListUue},
    {atB64, ListUue},
    {atLha, ListLha, Make<TUnLha>},
    {atLhaExe, ListLha, Make<TUnLha>},
    {atLzh, ListLha},
    {atLzhExe, ListLha},
    {atArj, ListArj, Make<TUnARJ>},
    {atArjExe, ListArj, Make<TUnARJ>},
    {atArc, ListArc},
    {atArcExe, ListArc},
    {atPak, ListArc},
    {atPakExe, ListArc},
    {atZoo, ListZoo, Make<TUnZoo>},
    {atBh, ListBh},
    {atBhExe, ListBh},
    {atHA, ListHa},
    {atCab, ListCab},
    {atCabExe, ListCab},
    {atRar, ListRar},
    {atRarExe, ListRar},
    {atAce, ListAce},
    {atAceExe, ListAce},
};

}  // namespace

const TFormatReading& ReadingOf(TArcType type) {
    static constexpr TFormatReading kNone{};
    const auto it = std::find_if(std::begin(kReadings), std::end(kReadings),
                                 [type](const TFormatReading& row) { return row.Type == type; });
    return it == std::end(kReadings) ? kNone : *it;
}

std::unique_ptr<TUnBase> CreateReader(TArcType type) {
    const TFormatReading& reading = ReadingOf(type);
    return reading.Reader ? reading.Reader() : nullptr;
}

}  // namespace kv
