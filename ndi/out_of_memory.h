#pragma once
// Running short of memory while sending ends nothing: the thread that ran short skips a frame
// or starts the stream afresh and says so, once for the whole run, on standard error.

namespace vantor::ndi {

inline constexpr const char* kOutOfMemoryLine =
    "Out of memory while sending: frames are skipped until there is enough again.";

// Thread-safe; only the first call of a run writes the line.
void ReportOutOfMemory();

}  // namespace vantor::ndi
