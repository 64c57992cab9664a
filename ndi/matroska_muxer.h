#pragma once
// Live Matroska into memory, written by our own code: the header once per stream, then each
// frame as one cluster, so a receiver can join at any key frame's cluster after receiving the
// header; FFmpeg's demuxer is the reference that reads it. A cluster's head has a fixed length
// and goes before its frame, so the frame is written straight into its cluster and the head
// completed afterwards: no copy of a frame, and no muxer's buffer the size of one.

#include "ndi/byte_buffer.h"
#include "ndi/video_format.h"

#include <cstdint>
#include <span>
#include <string>

namespace vantor::ndi {

struct StreamDescription {
    VideoFormat format;
    std::string title;         // the source name
    std::string metadata_text; // the connection metadata, carried as a tag byte for byte
};

// The tag under which a receiver finds the connection metadata (Matroska spells tags in capitals).
inline constexpr const char* kConnectionMetadataTag = "NDI_CONNECTION_METADATA";

// A Void element `bytes` long in all (at least 9), which every Matroska reader skips: it may
// stand between the header and the first cluster.
void WriteVoid(size_t bytes, ByteBuffer& into);

// Starts a cluster in `cluster` (cleared): its QuickTime Animation frame is written after it,
// and MatroskaMuxer::CompleteCluster completes it.
void BeginCluster(ByteBuffer& cluster);

class MatroskaMuxer {
public:
    // Starts a new stream and writes its header (EBML, segment info with the title, the one
    // video track, the tags). False when memory runs short; the muxer then has no stream.
    bool Start(const StreamDescription& description, ByteBuffer& header);

    // Completes a cluster begun with BeginCluster as frame number `index` of the stream, timed
    // at index x D / N seconds after the stream's start. A stream starts where the previous one
    // ended, so a receiver that stays connected through a restart sees time go on rising. False
    // when there is no stream.
    bool CompleteCluster(int64_t index, bool key_frame, ByteBuffer& cluster);

private:
    // The frame's time on the muxer's timeline, in the stream's milliseconds.
    uint64_t TimecodeMs(int64_t index);

    bool started_ = false;
    int32_t rate_N_ = 0;
    int32_t rate_D_ = 0;
    int64_t stream_start_us_ = 0;  // the current stream's frame 0 on the muxer's timeline
    int64_t timeline_end_us_ = 0;  // end of the latest frame written
};

}  // namespace vantor::ndi
