#pragma once
// The copy in one line, for the service manager's status and the journal:
//   "Sending 1920x1080 50p, logo bug.png on, 2 receivers"
//   "Stopped at 1280x720 25p, house watermark; receivers hold a clear frame"
//   "Not sending: No free port 5960-5999"

#include <QString>

namespace vantor {

class CopyControl;
class Engine;

QString ServiceStatusLine(const Engine& engine, const CopyControl& control);
// What the receivers of a stopped copy hold: "receivers hold a clear frame", or "not on the
// network" when it has no source.
QString StoppedOutputWords(const Engine& engine);

}  // namespace vantor
