#include "ndi/matroska_muxer.h"

#include "ndi/out_of_memory.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>
#include <new>

namespace vantor::ndi {
namespace {

constexpr int kIoBufferBytes = 64 * 1024;

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
// tell the depth and refuses the track. Size, format, and the depth at byte 82; the rest zero.
constexpr int kImageDescriptionBytes = 86;

bool SetImageDescription(AVCodecParameters* codec)
{
    codec->extradata = static_cast<uint8_t*>(
        av_mallocz(kImageDescriptionBytes + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!codec->extradata)
        return false;
    codec->extradata_size = kImageDescriptionBytes;
    uint8_t* d = codec->extradata;
    d[3] = kImageDescriptionBytes;
    std::memcpy(d + 4, "rle ", 4);
    d[32] = uint8_t(codec->width >> 8);
    d[33] = uint8_t(codec->width);
    d[34] = uint8_t(codec->height >> 8);
    d[35] = uint8_t(codec->height);
    d[83] = 32;    // depth
    d[84] = 0xFF;  // no colour table
    d[85] = 0xFF;
    return true;
}

// Pixel aspect that gives the whole picture the wanted display aspect.
AVRational PixelAspect(const VideoFormat& f)
{
    AVRational sar{};
    av_reduce(&sar.num, &sar.den, int64_t(f.aspect_num) * f.height, int64_t(f.aspect_den) * f.width,
              1 << 20);
    return sar;
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

MatroskaMuxer::MatroskaMuxer() = default;

MatroskaMuxer::~MatroskaMuxer()
{
    Stop();
}

void MatroskaMuxer::Stop()
{
    if (context_)
        avformat_free_context(context_);
    context_ = nullptr;
    if (io_)
        av_freep(&io_->buffer);
    avio_context_free(&io_);
}

// An exception must not cross FFmpeg's C frames: a sink that cannot grow is a write error,
// after which this stream writes nothing more.
int MatroskaMuxer::Collect(void* opaque, uint8_t* bytes, int count)
{
    auto* self = static_cast<MatroskaMuxer*>(opaque);
    try {
        if (self->sink_)
            self->sink_->Append({bytes, size_t(count)});
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory();
        return AVERROR(ENOMEM);
    }
    return count;
}

bool MatroskaMuxer::Flush(ByteBuffer& into)
{
    sink_ = &into;
    avio_flush(io_);
    sink_ = nullptr;
    return io_->error >= 0;
}

bool MatroskaMuxer::Start(const StreamDescription& description, ByteBuffer& header)
{
    Stop();
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    io_ = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &Collect, nullptr)
                 : nullptr;
    if (!io_) {
        av_free(buffer);
        return false;
    }
    if (avformat_alloc_output_context2(&context_, nullptr, "matroska", nullptr) < 0 || !context_) {
        Stop();
        return false;
    }
    context_->pb = io_;
    av_dict_set(&context_->metadata, "title", description.title.c_str(), 0);
    if (!description.metadata_text.empty())
        av_dict_set(&context_->metadata, kConnectionMetadataTag,
                    description.metadata_text.c_str(), 0);

    const VideoFormat& f = description.format;
    rate_N_ = f.rate_N;
    rate_D_ = f.rate_D;
    stream_start_us_ = timeline_end_us_;
    AVStream* stream = avformat_new_stream(context_, nullptr);
    if (!stream) {
        Stop();
        return false;
    }
    stream->time_base = AVRational{f.rate_D, f.rate_N};
    stream->avg_frame_rate = AVRational{f.rate_N, f.rate_D};
    stream->sample_aspect_ratio = PixelAspect(f);
    AVCodecParameters* codec = stream->codecpar;
    codec->codec_type = AVMEDIA_TYPE_VIDEO;
    codec->codec_id = AV_CODEC_ID_QTRLE;
    codec->width = f.width;
    codec->height = f.height;
    codec->format = AV_PIX_FMT_ARGB;
    codec->bits_per_coded_sample = 32;
    codec->sample_aspect_ratio = stream->sample_aspect_ratio;
    if (!SetImageDescription(codec)) {
        Stop();
        return false;
    }

    AVDictionary* options = nullptr;
    av_dict_set(&options, "live", "1", 0);
    av_dict_set(&options, "write_crc32", "0", 0);
    header.Clear();
    sink_ = &header;
    const int written = avformat_write_header(context_, &options);
    sink_ = nullptr;
    av_dict_free(&options);
    if (written < 0 || !Flush(header)) {
        Stop();
        return false;
    }
    return true;
}

uint64_t MatroskaMuxer::TimecodeMs(int64_t index)
{
    const AVRational frame_time{rate_D_, rate_N_};
    const int64_t start_us = stream_start_us_ + av_rescale_q(index, frame_time, AV_TIME_BASE_Q);
    const int64_t end_us = stream_start_us_ + av_rescale_q(index + 1, frame_time, AV_TIME_BASE_Q);
    timeline_end_us_ = std::max(timeline_end_us_, end_us);
    return uint64_t(av_rescale_q(start_us, AV_TIME_BASE_Q, context_->streams[0]->time_base));
}

bool MatroskaMuxer::CompleteCluster(int64_t index, bool key_frame, ByteBuffer& cluster)
{
    if (!context_)
        return false;
    uint8_t* head = cluster.data();
    PutEightByteSize(head + kClusterSizeAt, cluster.size() - kClusterSizeAt - 8);
    PutEightByteNumber(head + kTimecodeAt, TimecodeMs(index));
    PutEightByteSize(head + kBlockSizeAt, cluster.size() - kBlockSizeAt - 8);
    head[kFlagsAt] = key_frame ? kKeyFrameFlag : 0;
    return true;
}

}  // namespace vantor::ndi
