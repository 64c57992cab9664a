#include "imagery/regular_file.h"

#include "ndi/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vantor {
namespace {

// O_NONBLOCK keeps open() from waiting for a writer at a FIFO; on a regular file it changes
// nothing. The type is checked on the opened descriptor, so nothing can be swapped in between.
std::unique_ptr<QFile> TakeRegular(int fd)
{
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

constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;

}  // namespace

std::unique_ptr<QFile> OpenRegularFile(const QString& path)
{
    return TakeRegular(::open(QFile::encodeName(path).constData(), kOpenFlags));
}

std::unique_ptr<QFile> OpenRegularFileBeneath(const QString& folder, const QString& path, bool* led_out,
                                              OpenBeneath look_up)
{
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    // A name the kernel would cut short at a NUL is not the name that was checked.
    const bool own_path = path.startsWith(prefix) && !path.contains(QChar(0));
    if (led_out)
        *led_out = !own_path;
    if (!own_path)
        return nullptr;
    const ndi::UniqueFd dir(::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid())
        return nullptr;
    const QByteArray inside = QFile::encodeName(path.mid(prefix.size()));
    int fd = look_up(dir.get(), inside, kOpenFlags);
    // A sandbox's seccomp filter cannot look into openat2's struct open_how, so it refuses the call.
    if (fd < 0 && (errno == ENOSYS || errno == EPERM))
        fd = OpenBeneathStepwise(dir.get(), inside, kOpenFlags);
    if (led_out)
        *led_out = fd < 0 && (errno == EXDEV || errno == ELOOP);
    return TakeRegular(fd);
}

}  // namespace vantor
