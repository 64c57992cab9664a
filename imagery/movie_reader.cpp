#include "imagery/movie_reader.h"

#include "imagery/image_decoder.h"

#include <QFileInfo>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

namespace vantor {
namespace {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct IoFreer {
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

constexpr int kIoBufferBytes = 64 * 1024;

// FFmpeg reads the file the load opened, never the path again: what was checked is what decodes.
int ReadFromFile(void* opaque, uint8_t* bytes, int count)
{
    const qint64 got = static_cast<QFile*>(opaque)->read(reinterpret_cast<char*>(bytes), count);
    return got > 0 ? int(got) : got == 0 ? AVERROR_EOF : AVERROR(EIO);
}

int64_t SeekInFile(void* opaque, int64_t offset, int whence)
{
    auto* file = static_cast<QFile*>(opaque);
    if (whence & AVSEEK_SIZE)
        return file->size();
    const int from = whence & ~AVSEEK_FORCE;
    const int64_t to = from == SEEK_SET ? offset
                       : from == SEEK_CUR ? file->pos() + offset
                       : from == SEEK_END ? file->size() + offset
                                          : -1;
    return to >= 0 && file->seek(to) ? to : AVERROR(EINVAL);
}

std::unique_ptr<AVIOContext, IoFreer> ReaderOf(QFile& file)
{
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    AVIOContext* io =
        buffer ? avio_alloc_context(buffer, kIoBufferBytes, 0, &file, &ReadFromFile, nullptr, &SeekInFile) : nullptr;
    if (!io)
        av_free(buffer);
    return std::unique_ptr<AVIOContext, IoFreer>(io);
}

// FFmpeg's own VP9 decoder drops the alpha that WebM carries beside the picture; libvpx's keeps it.
const AVCodec* DecoderFor(AVCodecID id)
{
    if (id == AV_CODEC_ID_VP9)
        if (const AVCodec* vpx = avcodec_find_decoder_by_name("libvpx-vp9"))
            return vpx;
    return avcodec_find_decoder(id);
}

bool FormatHasAlpha(AVPixelFormat format)
{
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor && (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA);
}

class Movie final : public AnimationSource {
public:
    // Null, with `why` said, when the file holds no video stream that decodes here.
    static std::unique_ptr<Movie> Open(const QString& path, std::unique_ptr<QFile> file, QString& why);

    int64_t TimeBaseNum() const override { return stream_->time_base.num; }
    int64_t TimeBaseDen() const override { return stream_->time_base.den; }
    int32_t ExpectedFrames() const override
    {
        return static_cast<int32_t>(std::clamp<int64_t>(stream_->nb_frames, 0, INT32_MAX));
    }
    int32_t Width() const override { return decoder_->width; }
    int32_t Height() const override { return decoder_->height; }
    bool HasAlpha() const override { return alpha_seen_; }
    FrameRead ReadFrame(RgbaImage& picture, int64_t& start, int64_t& duration) override;
    QString Problem() const override { return problem_; }
    // The video stream's packets from here to the end, none decoded.
    int32_t CountPackets();

private:
    int ReceiveFrame();
    bool Convert(RgbaImage& picture);
    int64_t FrameDuration() const;

    // In this order: the format reads through io_, which reads file_.
    std::unique_ptr<QFile> file_;
    std::unique_ptr<AVIOContext, IoFreer> io_;
    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, CodecFreer> decoder_;
    std::unique_ptr<AVFrame, FrameFreer> frame_{av_frame_alloc()};
    std::unique_ptr<AVPacket, PacketFreer> packet_{av_packet_alloc()};
    std::unique_ptr<SwsContext, ScalerFreer> scaler_;
    AVStream* stream_ = nullptr;
    bool draining_ = false;
    int32_t read_ = 0;
    bool alpha_seen_ = false;  // libvpx says so only with the pictures, not in the header
    QString problem_;
};

std::unique_ptr<Movie> Movie::Open(const QString& path, std::unique_ptr<QFile> file, QString& why)
{
    auto movie = std::make_unique<Movie>();
    movie->file_ = std::move(file);
    movie->io_ = ReaderOf(*movie->file_);
    AVFormatContext* format = movie->io_ ? avformat_alloc_context() : nullptr;
    if (!format) {
        why = QStringLiteral("There is not enough memory to open the movie.");
        return nullptr;
    }
    format->pb = movie->io_.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The name only helps FFmpeg tell the container; on failure it frees the context.
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) {
        why = QStringLiteral("The file is not a movie this program reads, or it is damaged or incomplete.");
        return nullptr;
    }
    movie->format_.reset(format);
    if (avformat_find_stream_info(format, nullptr) < 0) {
        why = QStringLiteral("The movie is damaged or incomplete.");
        return nullptr;
    }
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        why = QStringLiteral("The file holds no video stream.");
        return nullptr;
    }
    movie->stream_ = format->streams[index];
    const AVCodecParameters* parameters = movie->stream_->codecpar;
    const AVCodec* codec = DecoderFor(parameters->codec_id);
    movie->decoder_.reset(avcodec_alloc_context3(codec));
    if (!codec || !movie->decoder_ || avcodec_parameters_to_context(movie->decoder_.get(), parameters) < 0 ||
        avcodec_open2(movie->decoder_.get(), codec, nullptr) < 0) {
        why = QStringLiteral("The movie's video codec (%1) cannot be decoded here.")
                  .arg(QString::fromLatin1(avcodec_get_name(parameters->codec_id)));
        return nullptr;
    }
    if (!PixelBytes(parameters->width, parameters->height) || movie->stream_->time_base.num <= 0 ||
        movie->stream_->time_base.den <= 0 || !movie->frame_ || !movie->packet_) {
        why = QStringLiteral("The movie's picture size or timing cannot be used.");
        return nullptr;
    }
    return movie;
}

// The next decoded frame of the stream, feeding packets as the decoder asks; AVERROR_EOF at
// the end, another error when the file is damaged.
int Movie::ReceiveFrame()
{
    for (;;) {
        const int received = avcodec_receive_frame(decoder_.get(), frame_.get());
        if (received != AVERROR(EAGAIN))
            return received;
        int read = 0;
        while ((read = av_read_frame(format_.get(), packet_.get())) >= 0 && packet_->stream_index != stream_->index)
            av_packet_unref(packet_.get());
        if (read < 0 && !draining_) {
            draining_ = true;
            avcodec_send_packet(decoder_.get(), nullptr);
            continue;
        }
        if (read < 0)
            return AVERROR_EOF;
        const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
        av_packet_unref(packet_.get());
        if (sent < 0 && sent != AVERROR(EAGAIN))
            return sent;
    }
}

FrameRead Movie::ReadFrame(RgbaImage& picture, int64_t& start, int64_t& duration)
{
    const int received = ReceiveFrame();
    if (received == AVERROR_EOF)
        return FrameRead::kEnd;
    if (received < 0) {
        problem_ = read_ == 0 ? QStringLiteral("The movie is damaged: no picture in it decodes.")
                              : QStringLiteral("The movie is damaged after frame %1.").arg(read_);
        return FrameRead::kFailed;
    }
    if (frame_->width != decoder_->width || frame_->height != decoder_->height) {
        problem_ = QStringLiteral("The movie changes its picture size at frame %1.").arg(read_ + 1);
        return FrameRead::kFailed;
    }
    if (!Convert(picture)) {
        problem_ = QStringLiteral("There is not enough memory to convert the movie's pictures.");
        return FrameRead::kFailed;
    }
    alpha_seen_ = alpha_seen_ || FormatHasAlpha(static_cast<AVPixelFormat>(frame_->format));
    start = frame_->best_effort_timestamp == AV_NOPTS_VALUE ? read_ * FrameDuration() : frame_->best_effort_timestamp;
    duration = frame_->pkt_duration > 0 ? frame_->pkt_duration : FrameDuration();
    ++read_;
    return FrameRead::kFrame;
}

int32_t Movie::CountPackets()
{
    int32_t count = 0;
    while (av_read_frame(format_.get(), packet_.get()) >= 0) {
        count += packet_->stream_index == stream_->index && count < INT32_MAX;
        av_packet_unref(packet_.get());
    }
    return count;
}

// One frame at the stream's average rate; one unit of the time base when it names none.
int64_t Movie::FrameDuration() const
{
    const AVRational rate = stream_->avg_frame_rate.num > 0 ? stream_->avg_frame_rate : stream_->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return 1;
    return std::max<int64_t>(av_rescale_q(1, av_inv_q(rate), stream_->time_base), 1);
}

// Into 32-bit BGRA, alpha kept; a picture without alpha comes out opaque.
bool Movie::Convert(RgbaImage& picture)
{
    const auto format = static_cast<AVPixelFormat>(frame_->format);
    scaler_.reset(sws_getCachedContext(scaler_.release(), frame_->width, frame_->height, format, frame_->width,
                                       frame_->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr));
    if (!scaler_)
        return false;
    bool converted = false;
    const bool loaded = picture.LoadDecoded(frame_->width, frame_->height, [&](uint8_t* rows) {
        uint8_t* planes[4] = {rows, nullptr, nullptr, nullptr};
        const int strides[4] = {frame_->width * 4, 0, 0, 0};
        converted = sws_scale(scaler_.get(), frame_->data, frame_->linesize, 0, frame_->height, planes, strides) ==
                    frame_->height;
    });
    return loaded && converted;
}

}  // namespace

bool HasMovieExtension(const QString& path)
{
    static const QStringList kExtensions{QStringLiteral("mov"), QStringLiteral("mp4"), QStringLiteral("m4v"),
                                         QStringLiteral("mkv"), QStringLiteral("webm")};
    return kExtensions.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

std::unique_ptr<AnimationSource> OpenMovie(const QString& path, std::unique_ptr<QFile> file, QString& why)
{
    return Movie::Open(path, std::move(file), why);
}

int32_t CountMovieFrames(const QString& path, std::unique_ptr<QFile> file)
{
    QString why;
    const std::unique_ptr<Movie> movie = file ? Movie::Open(path, std::move(file), why) : nullptr;
    return movie ? movie->CountPackets() : 0;
}

}  // namespace vantor
