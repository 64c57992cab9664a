#include "test_source.h"

#include "ndi/source_port.h"

#include <cstring>
#include <sstream>

namespace vantor::test {

SourceHandle MakeSource(const char* name)
{
    NDIlib_send_create_t settings;
    settings.p_ndi_name = name;
    settings.clock_video = true;
    SourceHandle source(NDIlib_send_create(&settings));
    if (source) {
        std::string text = kProductMetadata;
        NDIlib_metadata_frame_t metadata;
        metadata.length = int32_t(text.size());
        metadata.p_data = text.data();
        NDIlib_send_add_connection_metadata(source.get(), &metadata);
    }
    return source;
}

uint16_t PortOf(const SourceHandle& source)
{
    return NDIlib_send_get_port(source.get());
}

std::map<std::string, std::string> Probe(uint16_t port, const TempDir& dir)
{
    const std::string out = dir.Path("probe-" + std::to_string(port) + ".txt");
    ChildProcess probe({"ffprobe", "-v", "error", "-show_entries",
                        "stream=codec_name,pix_fmt,width,height,r_frame_rate,display_aspect_ratio:"
                        "format_tags",
                        "-of", "default=noprint_wrappers=1", "tcp://127.0.0.1:" + std::to_string(port)},
                       out);
    std::map<std::string, std::string> facts;
    if (probe.Wait(kClientTimeoutMs) != 0)
        return facts;
    std::istringstream lines(ReadFile(out));
    for (std::string line; std::getline(lines, line);)
        if (const size_t eq = line.find('='); eq != std::string::npos)
            facts[line.substr(0, eq)] = line.substr(eq + 1);
    return facts;
}

}  // namespace vantor::test
