#pragma once
// FFmpeg's libraries, loaded the first time a movie is opened rather than with the program: a
// copy that plays no movie never maps them (with what they pull in, about a hundred libraries
// and 20 MB of a copy's memory). The functions the movie reader calls, under their own names.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace vantor {

#define VANTOR_FFMPEG_FUNCTIONS(X)                                                                              \
    X(av_dict_free) X(av_dict_set) X(av_find_best_stream) X(av_frame_alloc) X(av_frame_free) X(av_free)         \
    X(av_freep) X(av_image_get_buffer_size) X(av_malloc) X(av_packet_alloc) X(av_packet_free)                   \
    X(av_packet_unref) X(av_pix_fmt_desc_get) X(av_probe_input_buffer2) X(av_read_frame) X(av_rescale_q)       \
    X(av_strdup) X(avcodec_align_dimensions2) X(avcodec_alloc_context3) X(avcodec_find_decoder)                 \
    X(avcodec_find_decoder_by_name) X(avcodec_free_context) X(avcodec_get_name) X(avcodec_open2)                \
    X(avcodec_parameters_to_context) X(avcodec_receive_frame) X(avcodec_send_packet)                          \
    X(avformat_alloc_context) X(avformat_close_input) X(avformat_find_stream_info) X(avformat_open_input)      \
    X(avio_alloc_context) X(avio_context_free) X(sws_freeContext) X(sws_getCachedContext) X(sws_scale)

struct FfmpegLibrary {
#define VANTOR_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
    VANTOR_FFMPEG_FUNCTIONS(VANTOR_FFMPEG_POINTER)
#undef VANTOR_FFMPEG_POINTER
};

// The libraries of the FFmpeg this program was built with, loaded on the first call; null when
// one of them or one of its functions is missing, which is said once on standard error.
const FfmpegLibrary* LoadedFfmpeg();

}  // namespace vantor
