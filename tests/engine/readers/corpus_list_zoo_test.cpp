#include "support/old_formats_corpus.h"

namespace kv {
namespace {

// ZOO stores a CRC-16, so names and sizes are compared.
TEST(CorpusListZoo, EveryTrustedArchiveListsItsFiles) {
    test::CheckCorpusRows({"zoo"}, false, {});
}

}  // namespace
}  // namespace kv
