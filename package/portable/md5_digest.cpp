#define OPENSSL_SUPPRESS_DEPRECATED
#include "package/portable/md5_digest.h"

#include <openssl/md5.h>

namespace mossgate {

static_assert(sizeof(MD5_CTX) <= 128, "Md5Stream's state area is too small");

void MD5(const uint8_t* bytes, size_t size, uint8_t digest[16]) {
    ::MD5(bytes, size, digest);
}

Md5Stream::Md5Stream() {
    MD5_Init(reinterpret_cast<MD5_CTX*>(state_));
}

void Md5Stream::Update(const uint8_t* bytes, size_t size) {
    MD5_Update(reinterpret_cast<MD5_CTX*>(state_), bytes, size);
}

void Md5Stream::Finish(uint8_t digest[16]) {
    MD5_Final(digest, reinterpret_cast<MD5_CTX*>(state_));
}

} // namespace mossgate
