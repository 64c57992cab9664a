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

// The next `count` decoded frames of the source, each width * height * 4 bytes of BGRA, each
// frame once as sent (no copies fill a pause between two).
std::vector<QByteArray> GrabFrames(uint16_t port, int count, int width, int height, int timeout_ms = 15000);
// The same in two steps, the receiver watching while the test does other things.
std::unique_ptr<QProcess> StartReceiving(uint16_t port, int count);
std::vector<QByteArray> ReceivedFrames(QProcess& receiver, int width, int height, int timeout_ms = 15000);

// Whether something accepts connections on 127.0.0.1:port.
bool IsListening(uint16_t port);

// The port from 5960 to 5999 on which the process listens, found through its open sockets
// (ports are taken first come, first served, also by sources of other programs).
std::optional<uint16_t> SourcePortOf(qint64 pid);

}  // namespace vantor::test
