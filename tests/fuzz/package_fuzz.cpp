// libFuzzer target: arbitrary bytes as a package image, through the directory copy
// and the whole walk, with the walk's promises checked on the way (walk_promises.h).
#include "tests/fuzz/walk_promises.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    mossgate::fuzz::CheckWalkPromises(data, size);
    return 0;
}
