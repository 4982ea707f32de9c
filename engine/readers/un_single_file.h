#pragma once

#include <cstdint>
#include <string>

#include "engine/codecs/codec_io.h"
#include "engine/core/custom_dclass.h"
#include "engine/readers/member_input.h"

namespace kv {

// The run shared by the single-file archives (GZIP and its relatives, BZIP2): one output named after the
// stored name or the archive, decoded by the format, checked, and, when that output is a TAR archive,
// unpacked in the same run when the owner agrees through OnNestedTarFile.
class TUnSingleFile : public TUnBase {
public:
    // How the intermediate TAR file goes once its contents are unpacked: for good, or into the trash.
    TDeleteOptions GzTarDeleteOptions = doAllowUndo;
    // The output is a TAR archive: DoUnTar asks for its contents too.
    TOnNestedTarFile OnNestedTarFile;
    // The nested TAR archive was unpacked: the archive in view is now that TAR.
    TOnChangeArchive OnChangeArchive;

protected:
    // What the format's header says about the file.
    struct TMemberStart {
        std::string StoredName;        // empty: the file is named after the archive
        std::uint32_t DosDateTime = 0;  // 0: the archive's own date
        int Refusal = 0;                // an error code: the file is not extracted
    };
    // Reads the format's header from the input.
    virtual TMemberStart ReadStart(TMemberInput& input) = 0;
    // Decodes the file that follows the header into the sink; whether it passes its checks. Decoding
    // errors are reported through ReportDataError.
    virtual bool DecodeMember(TMemberInput& input, TByteSink& sink) = 0;
    void ReportDataError();

    void ExtractIt(TStream32* archive, TObject* component) override;

private:
    // The output name: the stored name's last part (a stored folder must not choose where it goes), or
    // the archive's name without its extension, ".tgz" and the like becoming ".tar".
    std::string OutputName(const std::string& stored_name) const;
    // Fires OnNestedTarFile for the output; a missing handler is reported and means No.
    bool AskNestedTar(const std::string& path);
    // Extracts (or tests) the TAR archive at `path` with this reader's destination, selection and handlers.
    void UnpackNestedTar(const std::string& path, bool testing);
};

}  // namespace kv
