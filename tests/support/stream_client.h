#pragma once
// Real receivers of a source: ffprobe for what the stream announces, ffmpeg for its decoded
// frames as BGRA. Every call is bounded in time.

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vantor::test {

struct StreamInfo {
    QString title;
    QString connection_metadata;
    QString codec;
    int width = 0;
    int height = 0;
    QString frame_rate;    // as ffprobe prints r_frame_rate: "25/1"
    QString aspect_ratio;  // display aspect ratio: "16:9"
};

std::optional<StreamInfo> ProbeStream(uint16_t port, int timeout_ms = 10000);

// The next `count` decoded frames of the source, each width * height * 4 bytes of BGRA.
std::vector<QByteArray> GrabFrames(uint16_t port, int count, int width, int height, int timeout_ms = 15000);

// A receiver that goes on watching while the test does other things: ffmpeg decoding the next
// `count` frames of the source to its standard output, which the event loop collects. As sent:
// each frame once, without the copies that fill a gap in time (at a constant rate, a frame sent
// before a pause shows again until the next one comes).
std::unique_ptr<QProcess> StartReceiving(uint16_t port, int count, bool as_sent = false);
// What it decoded, as GrabFrames, once it has ended.
std::vector<QByteArray> ReceivedFrames(QProcess& receiver, int width, int height, int timeout_ms = 15000);

// Whether something accepts connections on 127.0.0.1:port.
bool IsListening(uint16_t port);

// The port from 5960 to 5999 on which the process listens, found through its open sockets
// (ports are taken first come, first served, also by sources of other programs).
std::optional<uint16_t> SourcePortOf(qint64 pid);

}  // namespace vantor::test
