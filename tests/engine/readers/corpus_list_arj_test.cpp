#include "support/old_formats_corpus.h"

namespace kv {
namespace {

TEST(CorpusListArj, EveryTrustedArchiveListsItsFiles) {
    test::CheckCorpusRows({"arj", "arj-sfx"}, true, {});
}

}  // namespace
}  // namespace kv
