#pragma once
// The files of the control page: anyone who may reach the copy may fetch them, without a token
// (the page asks for it once it is shown).

#include <QByteArrayView>

#include <algorithm>
#include <iterator>

namespace vantor {

struct PageFile {
    const char* path;
    const char* resource;
    const char* type;
};

inline constexpr PageFile kPageFiles[] = {
    {"/", ":/web/index.html", "text/html; charset=utf-8"},
    {"/page.js", ":/web/page.js", "text/javascript; charset=utf-8"},
    {"/page.css", ":/web/page.css", "text/css; charset=utf-8"},
};

// The page's file at `path`, or nothing.
inline const PageFile* PageFileAt(QByteArrayView path)
{
    const auto* file = std::find_if(std::begin(kPageFiles), std::end(kPageFiles),
                                    [path](const PageFile& f) { return path == QByteArrayView(f.path); });
    return file == std::end(kPageFiles) ? nullptr : file;
}

}  // namespace vantor
