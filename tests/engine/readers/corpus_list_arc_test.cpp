#include "support/old_formats_corpus.h"

namespace kv {
namespace {

// ARC and PAK store a CRC-16, so names and sizes are compared.
TEST(CorpusListArc, EveryTrustedArchiveListsItsFiles) {
    test::CheckCorpusRows({"arc"}, false, {});
}

}  // namespace
}  // namespace kv
