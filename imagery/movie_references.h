#pragma once
// QuickTime and MP4 files may keep their pictures in other files, named by data references;
// this program plays only pictures that a file holds itself.

#include <QIODevice>

namespace vantor {

// Whether a QuickTime or MP4 file has a data reference (moov/trak/mdia/minf/dinf/dref) that is
// not marked as the file itself. Reads only the boxes on that path, and leaves the file's
// position where it was.
bool RefersOutside(QIODevice& file);

}  // namespace vantor
