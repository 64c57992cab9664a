#pragma once
// Looks at a copy's source from outside, as a receiver does: which port the copy listens on,
// the stream title ffprobe reads there, and how many frames ffmpeg receives.

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace vantor::test {

// The port from 5960 to 5999 on which the process listens, found through its open sockets
// (ports are taken first come, first served, also by sources of other programs).
std::optional<uint16_t> SourcePortOf(qint64 pid);

// The stream title of the source on this port; empty when nothing answers.
QString StreamTitle(uint16_t port);

// For each port at once: the frames a receiver gets, counting up to `wanted`, before the
// source falls silent. A running source delivers `wanted`; a stopped one still accepts the
// receiver and sends it one key frame of its last picture, then nothing.
std::vector<int> FramesReceived(const std::vector<uint16_t>& ports, int wanted);

}  // namespace vantor::test
