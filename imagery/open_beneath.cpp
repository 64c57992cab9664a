#include "imagery/open_beneath.h"

#include "ndi/unique_fd.h"

#include <QList>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <deque>
#include <optional>
#include <vector>

namespace vantor {
namespace {

constexpr int kMostLinks = 40;  // as many as the kernel follows in one look-up

int Failed(int error)
{
    errno = error;
    return -1;
}

// A look-up under way: the steps still to take, and the directories gone down into, the last of
// them where it stands.
class Walk {
public:
    explicit Walk(int root) : root_(root) {}

    // Puts the steps of `name` before those still to take; false when `name` is absolute.
    bool Take(const QByteArray& name);
    int Open(int flags);

private:
    int Here() const { return down_.empty() ? root_ : down_.back().get(); }
    // Nothing while the walk goes on; otherwise what it ends with.
    std::optional<int> Step(const QByteArray& name, int flags);
    std::optional<int> Follow(int link);

    const int root_;
    std::vector<ndi::UniqueFd> down_;
    std::deque<QByteArray> steps_;
    int links_ = 0;
};

bool Walk::Take(const QByteArray& name)
{
    if (name.startsWith('/'))
        return false;
    const QList<QByteArray> steps = name.split('/');
    steps_.insert(steps_.begin(), steps.begin(), steps.end());
    return true;
}

int Walk::Open(int flags)
{
    while (!steps_.empty()) {
        const QByteArray name = steps_.front();
        steps_.pop_front();
        if (name == "..") {
            if (down_.empty())
                return Failed(EXDEV);
            down_.pop_back();
        } else if (!name.isEmpty() && name != ".") {
            if (const std::optional<int> end = Step(name, flags))
                return *end;
        }
    }
    return ::openat(Here(), ".", flags);  // the name ends at a directory
}

std::optional<int> Walk::Step(const QByteArray& name, int flags)
{
    ndi::UniqueFd step(::openat(Here(), name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!step.valid() || ::fstat(step.get(), &info) != 0)
        return -1;
    if (S_ISLNK(info.st_mode))
        return Follow(step.get());
    if (S_ISDIR(info.st_mode)) {
        down_.push_back(std::move(step));
        return std::nullopt;
    }
    if (!steps_.empty())
        return Failed(ENOTDIR);
    // O_NOFOLLOW: a link put in the file's place meanwhile is refused, not followed.
    return ::openat(Here(), name.constData(), flags | O_NOFOLLOW);
}

std::optional<int> Walk::Follow(int link)
{
    if (++links_ > kMostLinks)
        return Failed(ELOOP);
    std::array<char, PATH_MAX> target;
    const ssize_t size = ::readlinkat(link, "", target.data(), target.size());
    if (size < 0)
        return -1;
    if (size_t(size) == target.size())
        return Failed(ENAMETOOLONG);
    if (!Take(QByteArray(target.data(), size)))
        return Failed(EXDEV);
    return std::nullopt;
}

}  // namespace

int OpenBeneathAtOnce(int dir, const QByteArray& inside, int flags)
{
    open_how how{};
    how.flags = flags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    return int(::syscall(SYS_openat2, dir, inside.constData(), &how, sizeof how));
}

int OpenBeneathStepwise(int dir, const QByteArray& inside, int flags)
{
    Walk walk(dir);
    return walk.Take(inside) ? walk.Open(flags) : Failed(EXDEV);
}

}  // namespace vantor
