// What zorpack's users of libzip share: an owning archive handle, an error that frees itself,
// and the bytes an archive wrote into an in-memory source.
#pragma once

#include "packer/bytes.h"

#include <zip.h>

#include <memory>
#include <string>

namespace zor::pack {

struct ZipDiscard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipDiscard>;

struct ErrorText {
    zip_error_t error;
    ErrorText() { zip_error_init(&error); }
    ~ErrorText() { zip_error_fini(&error); }
    ErrorText(const ErrorText&) = delete;
    ErrorText& operator=(const ErrorText&) = delete;
    std::string text() { return zip_error_strerror(&error); }
};

// Everything in `source`, which a closed archive has written; throws PackError naming `what`.
Bytes writtenBytes(zip_source_t* source, const std::string& what);

} // namespace zor::pack
