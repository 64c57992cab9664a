#include "ndi/matroska_muxer.h"

#include "ndi/ebml_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

namespace vantor::ndi {
namespace {

constexpr std::string_view kWritingApp = "ndivantor";

// A cluster's head, before its one frame: the Cluster, its Timecode, and the SimpleBlock's head
// (track 1, no time offset within the cluster, the flags). Sizes and the timecode take eight
// bytes each, which every Matroska reader takes, so the head's length is known before the frame.
constexpr uint8_t kClusterHead[] = {
    0x1F, 0x43, 0xB6, 0x75, 0x01, 0, 0, 0, 0, 0, 0, 0,  // Cluster, size
    0xE7, 0x88, 0, 0, 0, 0, 0, 0, 0, 0,                 // Timecode, in the stream's milliseconds
    0xA3, 0x01, 0, 0, 0, 0, 0, 0, 0,                    // SimpleBlock, size
    0x81, 0, 0, 0,                                      // track, time offset, flags
};
constexpr size_t kClusterHeadBytes = sizeof kClusterHead;
constexpr size_t kClusterSizeAt = 4;
constexpr size_t kTimecodeAt = 14;
constexpr size_t kBlockSizeAt = 23;
constexpr size_t kFlagsAt = kClusterHeadBytes - 1;
constexpr uint8_t kKeyFrameFlag = 0x80;

void PutEightByteNumber(uint8_t* at, uint64_t value)
{
    for (int i = 7; i >= 0; --i, value >>= 8)
        at[i] = uint8_t(value);
}

// An EBML size in eight bytes: the length marker, then seven bytes of number.
void PutEightByteSize(uint8_t* at, uint64_t size)
{
    PutEightByteNumber(at, size);
    at[0] = 0x01;
}

// A QuickTime ImageDescription for 32-bit 'rle ': without it FFmpeg's Matroska demuxer cannot
// tell the depth and refuses the track. Size, format, the picture's size, and the depth at byte
// 82; the rest zero.
std::array<uint8_t, 86> ImageDescription(const VideoFormat& f)
{
    std::array<uint8_t, 86> d{};
    d[3] = uint8_t(d.size());
    std::memcpy(d.data() + 4, "rle ", 4);
    d[32] = uint8_t(f.width >> 8);
    d[33] = uint8_t(f.width);
    d[34] = uint8_t(f.height >> 8);
    d[35] = uint8_t(f.height);
    d[83] = 32;    // depth
    d[84] = 0xFF;  // no colour table
    d[85] = 0xFF;
    return d;
}

// value x multiplier / divisor rounded to nearest, halves up; all positive.
int64_t Rescaled(int64_t value, int64_t multiplier, int64_t divisor)
{
    return int64_t((__int128(value) * multiplier + divisor / 2) / divisor);
}

// Text up to its first NUL, as a C string would end it.
std::string_view CText(const std::string& text)
{
    return std::string_view(text.c_str());
}

// The stream's header: the EBML head, the Segment (of unknown size: the stream is live), its
// Info, the one video track, and the connection metadata as a global tag.
void WriteHeader(const StreamDescription& description, std::vector<uint8_t>& out)
{
    const VideoFormat& f = description.format;
    EbmlWriter w(out);
    w.Master(0x1A45DFA3, [&] {
        w.Uint(0x4286, 1);  // EBMLVersion
        w.Uint(0x42F7, 1);  // EBMLReadVersion
        w.Uint(0x42F2, 4);  // EBMLMaxIDLength
        w.Uint(0x42F3, 8);  // EBMLMaxSizeLength
        w.Text(0x4282, "matroska");
        w.Uint(0x4287, 4);  // DocTypeVersion
        w.Uint(0x4285, 2);  // DocTypeReadVersion
    });
    w.UnknownSizeMaster(0x18538067);  // Segment
    w.Master(0x1549A966, [&] {     // Info
        w.Uint(0x2AD7B1, 1'000'000);  // TimestampScale: timecodes in milliseconds
        w.Text(0x7BA9, CText(description.title));
        w.Text(0x4D80, kWritingApp);
        w.Text(0x5741, kWritingApp);
    });
    w.Master(0x1654AE6B, [&] {  // Tracks
        w.Master(0xAE, [&] {    // TrackEntry
            w.Uint(0xD7, 1);    // TrackNumber
            w.Uint(0x73C5, 1);  // TrackUID
            w.Uint(0x9C, 0);    // FlagLacing
            w.Text(0x22B59C, "und");
            w.Uint(0x83, 1);    // TrackType: video
            w.Uint(0x23E383, uint64_t(Rescaled(f.rate_D, 1'000'000'000, f.rate_N)));  // DefaultDuration, ns
            w.Text(0x86, "V_QUICKTIME");
            w.Bytes(0x63A2, ImageDescription(f));  // CodecPrivate
            w.Master(0xE0, [&] {  // Video
                w.Uint(0xB0, uint64_t(f.width));
                w.Uint(0xBA, uint64_t(f.height));
                if (int64_t(f.aspect_num) * f.height != int64_t(f.aspect_den) * f.width) {
                    w.Uint(0x54B0, uint64_t(f.aspect_num));  // DisplayWidth and DisplayHeight
                    w.Uint(0x54BA, uint64_t(f.aspect_den));  // as a display aspect:
                    w.Uint(0x54B2, 3);                       // DisplayUnit
                }
            });
        });
    });
    if (const std::string_view metadata = CText(description.metadata_text); !metadata.empty())
        w.Master(0x1254C367, [&] {    // Tags
            w.Master(0x7373, [&] {    // Tag
                w.Master(0x63C0, [] {});  // Targets: none, the whole segment
                w.Master(0x67C8, [&] {    // SimpleTag
                    w.Text(0x45A3, kConnectionMetadataTag);
                    w.Text(0x4487, metadata);
                });
            });
        });
}

}  // namespace

void WriteVoid(size_t bytes, ByteBuffer& into)
{
    constexpr size_t kHeadBytes = 9;  // the ID, then the size as an eight-byte number
    uint8_t* out = into.Reserve(bytes);
    out[0] = 0xEC;
    PutEightByteSize(out + 1, bytes - kHeadBytes);
    std::memset(out + kHeadBytes, 0, bytes - kHeadBytes);
    into.Commit(bytes);
}

void BeginCluster(ByteBuffer& cluster)
{
    cluster.Clear();
    cluster.Append(kClusterHead);
}

bool MatroskaMuxer::Start(const StreamDescription& description, ByteBuffer& header)
{
    started_ = false;
    try {
        std::vector<uint8_t> bytes;
        WriteHeader(description, bytes);
        header.Clear();
        header.Append(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    rate_N_ = description.format.rate_N;
    rate_D_ = description.format.rate_D;
    stream_start_us_ = timeline_end_us_;
    started_ = true;
    return true;
}

uint64_t MatroskaMuxer::TimecodeMs(int64_t index)
{
    const int64_t start_us = stream_start_us_ + Rescaled(index, int64_t{rate_D_} * 1'000'000, rate_N_);
    const int64_t end_us = stream_start_us_ + Rescaled(index + 1, int64_t{rate_D_} * 1'000'000, rate_N_);
    timeline_end_us_ = std::max(timeline_end_us_, end_us);
    return uint64_t(Rescaled(start_us, 1, 1000));
}

bool MatroskaMuxer::CompleteCluster(int64_t index, bool key_frame, ByteBuffer& cluster)
{
    if (!started_)
        return false;
    uint8_t* head = cluster.data();
    PutEightByteSize(head + kClusterSizeAt, cluster.size() - kClusterSizeAt - 8);
    PutEightByteNumber(head + kTimecodeAt, TimecodeMs(index));
    PutEightByteSize(head + kBlockSizeAt, cluster.size() - kBlockSizeAt - 8);
    head[kFlagsAt] = key_frame ? kKeyFrameFlag : 0;
    return true;
}

}  // namespace vantor::ndi
