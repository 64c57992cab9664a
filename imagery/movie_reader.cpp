#include "imagery/movie_reader.h"

#include "imagery/image_decoder.h"
#include "imagery/movie_references.h"
#include "imagery/sequence_texts.h"

#include <QFileInfo>

#include "imagery/ffmpeg_library.h"

#include <algorithm>
#include <cstring>

namespace vantor {
namespace {

// Loaded before any movie is opened (OpenMovie, CountMovieFrames).
const FfmpegLibrary& Av() { return *LoadedFfmpeg(); }

struct FormatCloser {
    void operator()(AVFormatContext* context) const { Av().avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext* context) const { Av().avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { Av().av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { Av().av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* context) const { Av().sws_freeContext(context); }
};
struct IoFreer {
    void operator()(AVIOContext* io) const
    {
        Av().av_freep(&io->buffer);
        Av().avio_context_free(&io);
    }
};

constexpr int kIoBufferBytes = 64 * 1024;

// The containers played, as FFmpeg names its demuxers; GIF and WebP are Qt's.
constexpr const char* kQuickTime = "mov,mp4,m4a,3gp,3g2,mj2";
constexpr const char* kMatroska = "matroska,webm";
constexpr const char* kPlayedContainers = "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm";
// Demuxers that read other files or addresses than the one given: named so the refusal says why.
constexpr const char* kLinkingContainers[] = {"hls", "dash", "concat", "imf", "sdp", "rtsp", "image2"};

// The decoder's pictures beside the one handed over: the one at hand and its references.
constexpr int kDecoderPictures = 4;

bool IsLinking(const char* container)
{
    return std::any_of(std::begin(kLinkingContainers), std::end(kLinkingContainers),
                       [container](const char* linking) { return std::strcmp(container, linking) == 0; });
}

// The movie is read from the file the load opened and from nothing else: a playlist, a data
// reference or a list of files asks for more through here, and is refused.
int RefuseOpen(AVFormatContext* format, AVIOContext**, const char*, int, AVDictionary**)
{
    *static_cast<bool*>(format->opaque) = true;
    return AVERROR(EPERM);
}

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
    auto* buffer = static_cast<uint8_t*>(Av().av_malloc(kIoBufferBytes));
    AVIOContext* io =
        buffer ? Av().avio_alloc_context(buffer, kIoBufferBytes, 0, &file, &ReadFromFile, nullptr, &SeekInFile) : nullptr;
    if (!io)
        Av().av_free(buffer);
    return std::unique_ptr<AVIOContext, IoFreer>(io);
}

// FFmpeg's own VP9 decoder drops the alpha that WebM carries beside the picture; libvpx's keeps it.
const AVCodec* DecoderFor(AVCodecID id)
{
    if (id == AV_CODEC_ID_VP9)
        if (const AVCodec* vpx = Av().avcodec_find_decoder_by_name("libvpx-vp9"))
            return vpx;
    return Av().avcodec_find_decoder(id);
}

bool FormatHasAlpha(AVPixelFormat format)
{
    const AVPixFmtDescriptor* descriptor = Av().av_pix_fmt_desc_get(format);
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
    int32_t EstimatedFrames() const override;
    int32_t Width() const override { return decoder_->width; }
    int32_t Height() const override { return decoder_->height; }
    int64_t DecoderBytes() const override;
    bool HasAlpha() const override { return alpha_seen_; }
    FrameRead ReadFrame(RgbaImage& picture, int64_t& start, int64_t& duration) override;
    QString Problem() const override { return problem_; }
    // The video stream's packets from here to the end, none decoded.
    int32_t CountPackets();

private:
    // Null, with `why` said, unless the file is one of the containers played and holds its own pictures.
    static std::unique_ptr<AVFormatContext, FormatCloser> OpenContainer(Movie& movie, const QString& path, QString& why);
    int ReceiveFrame();
    bool Convert(RgbaImage& picture);
    int64_t FrameDuration() const;

    // In this order: the format reads through io_, which reads file_.
    std::unique_ptr<QFile> file_;
    std::unique_ptr<AVIOContext, IoFreer> io_;
    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, CodecFreer> decoder_;
    std::unique_ptr<AVFrame, FrameFreer> frame_{Av().av_frame_alloc()};
    std::unique_ptr<AVPacket, PacketFreer> packet_{Av().av_packet_alloc()};
    std::unique_ptr<SwsContext, ScalerFreer> scaler_;
    AVStream* stream_ = nullptr;
    bool draining_ = false;
    int32_t read_ = 0;
    bool alpha_seen_ = false;  // libvpx says so only with the pictures, not in the header
    bool asked_to_open_ = false;  // the demuxer asked for another file or address
    QString problem_;
};

// The container is told from the file's bytes first, and only one played here is opened, with
// no way to open anything else: no protocol, no data references, an opener that refuses.
std::unique_ptr<AVFormatContext, FormatCloser> Movie::OpenContainer(Movie& movie, const QString& path, QString& why)
{
    std::unique_ptr<AVFormatContext, FormatCloser> format(movie.io_ ? Av().avformat_alloc_context() : nullptr);
    if (!format || !(format->format_whitelist = Av().av_strdup(kPlayedContainers)) ||
        !(format->protocol_whitelist = Av().av_strdup(""))) {
        why = QStringLiteral("There is not enough memory to open the movie.");
        return nullptr;
    }
    format->pb = movie.io_.get();
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->io_open = &RefuseOpen;
    format->opaque = &movie.asked_to_open_;
    const QByteArray name = QFile::encodeName(path);  // only helps FFmpeg tell the container
    const AVInputFormat* container = nullptr;
    const QString not_a_movie =
        QStringLiteral("The file is not a movie this program reads, or it is damaged or incomplete.");
    if (Av().av_probe_input_buffer2(format->pb, &container, name.constData(), nullptr, 0, 0) < 0 || !container) {
        why = not_a_movie;
        return nullptr;
    }
    const bool quicktime = std::strcmp(container->name, kQuickTime) == 0;
    if (!quicktime && std::strcmp(container->name, kMatroska) != 0) {
        why = IsLinking(container->name) ? QString::fromLatin1(kFailureLinksOut) : not_a_movie;
        return nullptr;
    }
    if (quicktime && RefersOutside(*movie.file_)) {
        why = QString::fromLatin1(kFailureLinksOut);
        return nullptr;
    }
    AVDictionary* options = nullptr;
    Av().av_dict_set(&options, "enable_drefs", "0", 0);
    Av().av_dict_set(&options, "use_absolute_path", "0", 0);
    AVFormatContext* opening = format.release();  // freed by FFmpeg when it fails
    const int opened = Av().avformat_open_input(&opening, name.constData(), container, &options);
    Av().av_dict_free(&options);  // what it left unused
    format.reset(opening);
    if (opened < 0 || movie.asked_to_open_) {
        why = movie.asked_to_open_ ? QString::fromLatin1(kFailureLinksOut) : not_a_movie;
        return nullptr;
    }
    return format;
}

std::unique_ptr<Movie> Movie::Open(const QString& path, std::unique_ptr<QFile> file, QString& why)
{
    if (!LoadedFfmpeg()) {
        why = QStringLiteral("Movies cannot be played on this machine: FFmpeg's libraries are missing.");
        return nullptr;
    }
    auto movie = std::make_unique<Movie>();
    movie->file_ = std::move(file);
    movie->io_ = ReaderOf(*movie->file_);
    movie->format_ = OpenContainer(*movie, path, why);
    if (!movie->format_)
        return nullptr;
    AVFormatContext* format = movie->format_.get();
    if (Av().avformat_find_stream_info(format, nullptr) < 0 || movie->asked_to_open_) {
        why = movie->asked_to_open_ ? QString::fromLatin1(kFailureLinksOut)
                                    : QStringLiteral("The movie is damaged or incomplete.");
        return nullptr;
    }
    const int index = Av().av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        why = QStringLiteral("The file holds no video stream.");
        return nullptr;
    }
    movie->stream_ = format->streams[index];
    const AVCodecParameters* parameters = movie->stream_->codecpar;
    const AVCodec* codec = DecoderFor(parameters->codec_id);
    movie->decoder_.reset(Av().avcodec_alloc_context3(codec));
    if (!codec || !movie->decoder_ || Av().avcodec_parameters_to_context(movie->decoder_.get(), parameters) < 0 ||
        Av().avcodec_open2(movie->decoder_.get(), codec, nullptr) < 0) {
        why = QStringLiteral("The movie's video codec (%1) cannot be decoded here.")
                  .arg(QString::fromLatin1(Av().avcodec_get_name(parameters->codec_id)));
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
        const int received = Av().avcodec_receive_frame(decoder_.get(), frame_.get());
        if (received != AVERROR(EAGAIN))
            return received;
        int read = 0;
        while ((read = Av().av_read_frame(format_.get(), packet_.get())) >= 0 && packet_->stream_index != stream_->index)
            Av().av_packet_unref(packet_.get());
        if (read < 0 && !draining_) {
            draining_ = true;
            Av().avcodec_send_packet(decoder_.get(), nullptr);
            continue;
        }
        if (read < 0)
            return AVERROR_EOF;
        const int sent = Av().avcodec_send_packet(decoder_.get(), packet_.get());
        Av().av_packet_unref(packet_.get());
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
    while (Av().av_read_frame(format_.get(), packet_.get()) >= 0) {
        count += packet_->stream_index == stream_->index && count < INT32_MAX;
        Av().av_packet_unref(packet_.get());
    }
    return count;
}

// One frame at the stream's average rate; one unit of the time base when it names none.
int64_t Movie::FrameDuration() const
{
    const AVRational rate = stream_->avg_frame_rate.num > 0 ? stream_->avg_frame_rate : stream_->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return 1;
    return std::max<int64_t>(Av().av_rescale_q(1, av_inv_q(rate), stream_->time_base), 1);
}

// Without a count of frames in the header (Matroska rarely has one), the length at the average rate.
int32_t Movie::EstimatedFrames() const
{
    if (stream_->nb_frames > 0)
        return ExpectedFrames();
    const AVRational rate = stream_->avg_frame_rate.num > 0 ? stream_->avg_frame_rate : stream_->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return 0;
    const int64_t frames = stream_->duration != AV_NOPTS_VALUE
                               ? Av().av_rescale_q(stream_->duration, stream_->time_base, av_inv_q(rate))
                           : format_->duration != AV_NOPTS_VALUE
                               ? Av().av_rescale_q(format_->duration, AV_TIME_BASE_Q, av_inv_q(rate))
                               : 0;
    return static_cast<int32_t>(std::clamp<int64_t>(frames, 0, INT32_MAX));
}

// Pictures at the coded size, aligned as the decoder allocates them, in the decoder's own format.
int64_t Movie::DecoderBytes() const
{
    int width = std::max(decoder_->coded_width, decoder_->width);
    int height = std::max(decoder_->coded_height, decoder_->height);
    int aligns[AV_NUM_DATA_POINTERS] = {};
    Av().avcodec_align_dimensions2(decoder_.get(), &width, &height, aligns);
    const int picture = Av().av_image_get_buffer_size(decoder_->pix_fmt, width, height, 1);
    const int64_t widest = int64_t{width} * height * 8;  // a format it does not name: 16 bits a channel, four channels
    return kDecoderPictures * (picture > 0 ? picture : widest);
}

// Into 32-bit BGRA, alpha kept; a picture without alpha comes out opaque.
bool Movie::Convert(RgbaImage& picture)
{
    const auto format = static_cast<AVPixelFormat>(frame_->format);
    scaler_.reset(Av().sws_getCachedContext(scaler_.release(), frame_->width, frame_->height, format, frame_->width,
                                       frame_->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr));
    if (!scaler_)
        return false;
    bool converted = false;
    const bool loaded = picture.LoadDecoded(frame_->width, frame_->height, [&](uint8_t* rows) {
        uint8_t* planes[4] = {rows, nullptr, nullptr, nullptr};
        const int strides[4] = {frame_->width * 4, 0, 0, 0};
        converted = Av().sws_scale(scaler_.get(), frame_->data, frame_->linesize, 0, frame_->height, planes, strides) ==
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
