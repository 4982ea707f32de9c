#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/codecs/codec_io.h"
#include "engine/core/custom_dclass.h"
#include "engine/readers/member_input.h"

namespace kv {

// The run shared by the single-file archives (GZIP and its relatives, BZIP2): one output named after the
// stored name or the archive, decoded by the format, checked; or, when the decoded file is a TAR archive
// and the owner agrees through OnNestedTarFile, that TAR's contents, read as they are decoded.
class TUnSingleFile : public TUnBase {
public:
    // Whether the decoded file starts with a TAR header (its checksum right), whatever it is named.
    bool HoldsTar();
    // Decodes the archive's file from `archive` into `sink` (nothing else is written) and checks it;
    // errors are reported through OnError.
    bool DecodeInto(TStream32& archive, TByteSink& sink);

    // Kept for the owners that set it: a TAR inside is read as it is decoded, so no intermediate TAR file
    // is made that would have to go.
    TDeleteOptions GzTarDeleteOptions = doAllowUndo;
    // The decoded file is a TAR archive (FileName: where it would be written): DoUnTar asks for its
    // contents instead.
    TOnNestedTarFile OnNestedTarFile;
    // Kept for the owners that set it; never fired, as no TAR file comes into view.
    TOnChangeArchive OnChangeArchive;

protected:
    // What the format's header says about the file.
    struct TMemberStart {
        std::string StoredName;        // empty: the file is named after the archive
        std::uint32_t DosDateTime = 0;  // 0: the archive's own date
        std::optional<TPreciseTime> ModTime;  // the header's time to the second, where it has one
        int Refusal = 0;                // an error code: the file is not extracted
    };
    // Reads the format's header from the input.
    virtual TMemberStart ReadStart(TMemberInput& input) = 0;
    // Decodes the file that follows the header into the sink; whether it passes its checks. Decoding
    // errors are reported through ReportDataError.
    virtual bool DecodeMember(TMemberInput& input, TByteSink& sink) = 0;
    // Whether DecodeMember's check compares the CRC-32 of what it decoded (Crc32Value), which the sink's
    // owner then keeps; formats that check their data themselves are spared the work.
    virtual bool ChecksOutputCrc32() const { return false; }
    void ReportDataError();

    void ExtractIt(TStream32* archive, TObject* component) override;

private:
    // The output name: the stored name's last part (a stored folder must not choose where it goes), or
    // the archive's name without its extension, ".tgz" and the like becoming ".tar".
    std::string OutputName(const std::string& stored_name) const;
    // Fires OnNestedTarFile for the output; a missing handler is reported and means No.
    bool AskNestedTar(const std::string& path);
    // Extracts (or tests) the TAR archive as it is decoded, with this reader's destination, selection and
    // handlers; then reports a failure of the decoding itself, naming the archive.
    void UnpackNestedTar(bool testing);
    // A reader of this archive's type on the same file, for decoding apart from this run (a worker thread,
    // a look at the start); it reports nothing unless given handlers.
    std::unique_ptr<TUnSingleFile> Sibling() const;
};

}  // namespace kv
