#pragma once
// The vendor's runtime as a shared library loaded at run time: its seven C symbols, and the
// library kept open for as long as this object lives.

#include "ndi/vendor_symbols.h"

#include <memory>
#include <string>

namespace vantor::ndi {

class VendorLibrary {
    struct Closer {
        void operator()(void* handle) const;
    };

public:
    using Handle = std::unique_ptr<void, Closer>;

    struct Opening {
        bool loaded = false;                     // the loader found and loaded the file
        std::unique_ptr<VendorLibrary> library;  // set when it offers all seven symbols
        std::string problem;                     // otherwise why not, in the loader's words or ours
    };
    // `file` is a path, or a bare file name for the system's library search.
    static Opening Open(const std::string& file);

    VendorLibrary(Handle handle, const VendorSymbols& symbols, std::string path);

    const VendorSymbols& symbols() const { return symbols_; }
    // The library's version text; empty where the library answers null.
    const char* Version() const;
    const std::string& path() const { return path_; }  // where the loader found it

private:
    Handle handle_;
    VendorSymbols symbols_;
    std::string path_;
};

}  // namespace vantor::ndi
