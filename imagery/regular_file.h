#pragma once
// Opening a picture file safely: only a regular file is opened, and opening never blocks. A
// FIFO, a device or a socket named like a picture (or like the next file of a sequence) is
// treated as a file that cannot be read.

#include "imagery/open_beneath.h"

#include <QFile>
#include <QString>

#include <functional>
#include <memory>

namespace vantor {

// The file open for reading; null when the path names no regular file or it cannot be read.
std::unique_ptr<QFile> OpenRegularFile(const QString& path);

// As OpenRegularFile, for a file that must lie beneath `folder` (absolute, without links): every
// step of the path, links included, is resolved inside the folder by the look-up that opens it,
// so nothing can be swapped in between. `look_up` is the kernel's; where a sandbox refuses it,
// the path is walked a step at a time instead, with the same answers. Null when the file is not
// opened; `led_out` then tells whether the path leads out of the folder (or names no file by a
// path of its own).
std::unique_ptr<QFile> OpenRegularFileBeneath(const QString& folder, const QString& path, bool* led_out = nullptr,
                                              OpenBeneath look_up = OpenBeneathAtOnce);

// How a load opens its files: OpenRegularFile, or beneath a folder.
using FileOpener = std::function<std::unique_ptr<QFile>(const QString& path)>;

}  // namespace vantor
