#pragma once
// A source made for one test, and what ffprobe says about it.

#include "child_process.h"

#include "ndi/ndi_runtime.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace vantor::test {

// The connection metadata the program announces, as one line.
inline constexpr const char* kProductMetadata =
    "<ndi_product long_name=\"Kelo Vantor - signal generator\"              "
    "short_name=\"Kelo Vantor\"              manufacturer=\"Kelo\"              "
    "version=\"1.0.2\"              session=\"default\"              model_name=\"K1\"              "
    "serial=\"00001\"/>";

inline constexpr int kClientTimeoutMs = 20000;  // only reached when something is broken

struct SourceDestroyer {
    void operator()(NDIlib_send_instance_t source) const { NDIlib_send_destroy(source); }
};
using SourceHandle = std::unique_ptr<NDIlib_send_instance_type, SourceDestroyer>;

// A clocked source of that name with the program's connection metadata.
SourceHandle MakeSource(const char* name);
uint16_t PortOf(const SourceHandle& source);

// ffprobe's key=value lines about the stream (codec, size, rate, aspect) and its tags
// ("TAG:title"); empty when ffprobe failed.
std::map<std::string, std::string> Probe(uint16_t port, const TempDir& dir);

}  // namespace vantor::test
