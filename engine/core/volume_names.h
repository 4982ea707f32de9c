#pragma once

#include <string>

#include "engine/core/arc_detect.h"

namespace kv {

// Sets VolumeNumber and VolumeLetter of a detected multi-volume type from the archive's extension:
// data.rar is volume 0 with the letter "q", data.r05 is volume 6, data.arj volume 1 with "a". The
// letter follows the letter case of the extension, so the names it makes exist on case-sensitive file
// systems. Types without numbered volumes are left alone.
void ComputeVolumeNumber(TArcType type, const std::string& archive_file, TArcDetection& state);

// The name of the volume after `name`, the n-th one: data.rar, 0 → data.r00; data.arj, 1 → data.a01;
// data.part1.rar, 0 → data.part2.rar. "" for a negative n or when no letter is known.
std::string GetNextVolumeName(TArcType type, const std::string& name, int n, char letter);

}  // namespace kv
