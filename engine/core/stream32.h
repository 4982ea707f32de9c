#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/kv_object.h"

namespace kv {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// How a file stream opens its file. Sharing is advisory on Linux: the modes that deny writing to others
// are kept for the callers' intent but not enforced. fmCreateNew makes a new file in place of whatever bears
// the name, so that nothing is ever written through a symbolic or hard link into another file.
enum class TFileOpenMode { fmOpenRead, fmOpenReadWrite, fmCreate, fmCreateNew };

// The engine's stream: 64-bit size and position, a progress hook and a pointer to the owner's cancel flag.
// Reads and writes never throw: they return how many bytes moved; LastError() keeps the errno of the
// last failure (ENOSPC is how callers tell a full disk).
class TStream32 : public TObject {
public:
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    // Returns the new position, or -1 when the stream cannot seek there.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual std::int64_t Size();
    virtual bool SetSize(std::int64_t size);

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    bool SetPosition(std::int64_t position) { return Seek(position, TSeekOrigin::soBeginning) == position; }

    // Reads until count bytes arrived or the stream ended; returns the bytes read.
    std::int64_t ReadFull(void* buffer, std::int64_t count);
    // Seeks to offset and reads fully; returns 0 when the seek fails.
    std::int64_t ReadAt(std::int64_t offset, void* buffer, std::int64_t count);
    // Writes until count bytes went out or a write fails; returns the bytes written.
    std::int64_t WriteFull(const void* buffer, std::int64_t count);
    // Copies count bytes (all that remain when count is negative) from source; returns the bytes copied.
    std::int64_t CopyFrom(TStream32& source, std::int64_t count);

    int LastError() const { return last_error_; }

    // Called with the current position after each block a filter stream moves.
    std::function<void(std::int64_t position)> OnProgress;
    bool* CancelFlag = nullptr;

protected:
    void SetLastError(int error) { last_error_ = error; }

private:
    int last_error_ = 0;
};

// A stream over an operating-system file descriptor. Owns the descriptor when told to.
class THandleStream32 : public TStream32 {
public:
    explicit THandleStream32(int handle, bool owns_handle = false) : handle_(handle), owns_handle_(owns_handle) {}
    ~THandleStream32() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;
    bool SetSize(std::int64_t size) override;

    int Handle() const { return handle_; }
    bool IsValid() const { return handle_ >= 0; }
    // Pushes written data to the device; false when that fails (a full disk may only show here).
    bool Flush();
    // Closes an owned handle now; false when the system reports a failure (data may be lost).
    bool Close();

private:
    int handle_;
    bool owns_handle_;
};

// A file opened by name. A failed open does not throw: the handle stays invalid and the owner checks
// IsValid() (the engine then reports "Error opening file").
class TFileStream32 : public THandleStream32 {
public:
    TFileStream32(const std::string& file_name, TFileOpenMode mode);
    const std::string& FileName() const { return file_name_; }

private:
    std::string file_name_;
};

}  // namespace kv
