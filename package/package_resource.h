// The package as the program carries it: resource RCDATA 100 of its own module.
#pragma once

#include "app/setup_context.h"
#include "common/win32/holders.h"

#include <cstddef>
#include <cstdint>

namespace mossgate {

// Copies the package's directory into context.packageDirectory: 0, or -1 when the
// resource is missing, cannot be loaded or is 9516 bytes or smaller.
int LoadPackageDirectory(SetupContextRecord& context);

// The whole package, writable in place for one walk. A loaded resource is read-only
// memory; its pages are made copy-on-write, so the walk gets private copies of just
// the pages it touches and no second full copy is made. Where the pages cannot be
// made writable (a module mapped as a data file), the image is copied once instead.
class WritablePackageImage {
  public:
    explicit WritablePackageImage(HMODULE module);
    WritablePackageImage(const WritablePackageImage&) = delete;
    WritablePackageImage& operator=(const WritablePackageImage&) = delete;

    uint8_t* Bytes() const { return bytes_; }
    size_t Size() const { return size_; }
    bool CopiedToHeap() const { return heapCopy_.Size() != 0; }

  private:
    uint8_t* bytes_ = nullptr;
    size_t size_ = 0;
    PageProtection protection_;
    HeapBuffer heapCopy_{0};
};

} // namespace mossgate
