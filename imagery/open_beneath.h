#pragma once
// Opening a name beneath a directory so that nothing named leads out of it: neither "..", nor an
// absolute name, nor a link to one. The kernel does it in one look-up with openat2(2); where a
// sandbox refuses that call (a seccomp filter cannot look into its struct open_how), the name is
// walked a step at a time from here, with the same answers.

#include <QByteArray>

namespace vantor {

// Each way gives what openat(dir, inside, flags) would give beneath `dir`: a descriptor, or -1
// with errno set, EXDEV or ELOOP when the name leads out of `dir` (or through too many links).
using OpenBeneath = int (*)(int dir, const QByteArray& inside, int flags);

// openat2(2) with RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS.
int OpenBeneathAtOnce(int dir, const QByteArray& inside, int flags);

// One step at a time, each from a directory the walk holds open and never through a link: a
// link is read and its target walked in its place, and ".." goes back to the directory the walk
// came from, never above `dir`.
int OpenBeneathStepwise(int dir, const QByteArray& inside, int flags);

}  // namespace vantor
