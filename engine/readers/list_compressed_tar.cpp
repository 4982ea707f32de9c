// A TAR inside a GZIP, compress or BZIP2 file, listed from its headers as the decoder gives them.
#include <vector>

#include "engine/core/error_codes.h"
#include "engine/readers/arc_lister.h"
#include "engine/readers/decoded_stream.h"
#include "engine/readers/list_walks.h"
#include "engine/readers/format_readers.h"
#include "engine/readers/un_single_file.h"

namespace kv {

bool ListCompressedTar(TArcLister& lister) {
    std::unique_ptr<TUnBase> reader = CreateReader(lister.ArcType());
    auto* decoder = dynamic_cast<TUnSingleFile*>(reader.get());
    if (decoder == nullptr) return false;
    decoder->SetArchiveFile(lister.ArchiveFile());
    if (!decoder->HoldsTar()) return false;
    // The decoder runs on a worker thread: what it reports is told here once the headers have been read.
    std::vector<int> decoding_errors;
    decoder->OnError = [&decoding_errors](TObject*, const std::string&, const std::string&, const std::string&,
                                          int code) { decoding_errors.push_back(code); };
    const std::string path = lister.ArchiveFile();
    TDecodedStream decoded([decoder, path](TByteSink& sink) {
        TFileStream32 file(path, TFileOpenMode::fmOpenRead);
        return file.IsValid() && decoder->DecodeInto(file, sink);
    });
    ListTarIn(lister, decoded, decoded.Size(), 0);
    // As extraction would: a damaged or cut file is said to be so, after the members that could be listed.
    if (!lister.GetCancel() && !decoded.Drain()) {
        if (decoding_errors.empty()) lister.ReportError(ecode::kFileFailsCrcCheck);
        for (const int code : decoding_errors) lister.ReportError(code);
    }
    return true;
}

}  // namespace kv
