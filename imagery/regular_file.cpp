#include "imagery/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantor {

// O_NONBLOCK keeps open() from waiting for a writer at a FIFO; on a regular file it changes
// nothing. The type is checked on the opened descriptor, so nothing can be swapped in between.
std::unique_ptr<QFile> OpenRegularFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    auto file = std::make_unique<QFile>();
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        !file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}

}  // namespace vantor
