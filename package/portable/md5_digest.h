// RFC 1321 digest through libcrypto's low-level MD5 (the EVP route adds megabytes
// to a static link).
#pragma once

#include <cstddef>
#include <cstdint>

namespace mossgate {

void MD5(const uint8_t* bytes, size_t size, uint8_t digest[16]);

// Incremental form for block-wise passes.
class Md5Stream {
  public:
    Md5Stream();
    Md5Stream(const Md5Stream&) = delete;
    Md5Stream& operator=(const Md5Stream&) = delete;
    void Update(const uint8_t* bytes, size_t size);
    void Finish(uint8_t digest[16]);

  private:
    alignas(8) unsigned char state_[128];
};

} // namespace mossgate
