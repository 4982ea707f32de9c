#pragma once

#include <cstdint>

#include "outside/zip_engine_records.h"
#include "outside/zipeng/job_reporter.h"

namespace kv::zipeng {

// How the jobs read the record where the platform or the record leaves room:
// - Linux files have no archive attribute: every file counts as having it, so ArchiveOnly takes every file
//   and ResetArchive has nothing to clear. Volume labels do not exist either: Volume is ignored.
// - ForceDos writes the MS-DOS host and its attributes only (no Unix mode).
// - CodePage 2 writes names in the OEM code page where it holds them; otherwise names that are not plain
//   ASCII are written as UTF-8 with general-purpose bit 11.
// - A line to be encrypted without any password asks once per job (zrPassword); without an answer its
//   files are left out and reported (zePassword), never stored in the clear.
// - Folder entries are written but not counted in the result; AllowUndo sends moved files and folders to
//   the trash (the replaced archive itself is overwritten by the rename that puts the new one in place).
// - ArchiveComment is the new archive's comment (null: none), as the caller passes the current one.
// - A failure other than a cancel is reported with zrMessage and the job returns 0.

// Adds, replaces, updates or freshens files (and with Move deletes them once the archive is in place).
// Returns the files added, or zrsCancelled.
std::int32_t RunAddJob(const ZipCommand& command, TJobReporter& reporter);
// Leaves the entries the pattern lines match out of the archive. Returns the entries deleted, or zrsCancelled.
std::int32_t RunDeleteJob(const ZipCommand& command, TJobReporter& reporter);

}  // namespace kv::zipeng
