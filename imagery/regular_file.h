#pragma once
// Opening a picture file safely: only a regular file is opened, and opening never blocks. A
// FIFO, a device or a socket named like a picture (or like the next file of a sequence) is
// treated as a file that cannot be read.

#include <QFile>
#include <QString>

#include <memory>

namespace vantor {

// The file open for reading; null when the path names no regular file or it cannot be read.
std::unique_ptr<QFile> OpenRegularFile(const QString& path);

}  // namespace vantor
