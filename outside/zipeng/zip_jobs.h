#pragma once

#include <cstdint>

#include "outside/zip_engine_records.h"
#include "outside/zipeng/job_reporter.h"

namespace kv::zipeng {

// Adds, replaces, updates or freshens files (and with Move deletes them once the archive is in place).
// Returns the files added, or zrsCancelled.
std::int32_t RunAddJob(const ZipCommand& command, TJobReporter& reporter);
// Leaves the entries the spec lines match out of the archive. Returns the entries deleted, or zrsCancelled.
std::int32_t RunDeleteJob(const ZipCommand& command, TJobReporter& reporter);

}  // namespace kv::zipeng
