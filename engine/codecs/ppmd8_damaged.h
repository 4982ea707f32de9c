#pragma once

namespace kv {

// Thrown by the PPMd model when its structure is not what the steps that built it guarantee; the data
// that led there is taken as damaged rather than followed out of the model's memory.
struct TPpmd8Damaged {};

}  // namespace kv
