// libFuzzer target: arbitrary bytes as a file, through the PE resource lookup of
// the package (RCDATA 100, language 0x0409) and, when it is found, the package
// walk over its bytes. Promises checked (a broken one aborts):
//   - the lookup reads only the input: it gets a heap block of the input's exact
//     size, so AddressSanitizer stops a read past it;
//   - NotPe exactly when the input is shorter than a DOS header or lacks "MZ";
//   - a found resource lies wholly inside the input, and nothing else is given an
//     offset or a size;
//   - the walk over the found bytes keeps the package reader's promises.
#include "common/portable/pe_resources.h"
#include "tests/fuzz/walk_promises.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mossgate;
    using fuzz::Require;
    const std::vector<uint8_t> file(data, data + size);
    const PeResource found =
        FindPeResource(file.data(), file.size(), PE_RESOURCE_TYPE_RCDATA, 100, 0x0409);
    Require((found.status == PeStatus::NotPe) == (size < 64 || data[0] != 'M' || data[1] != 'Z'));
    if (found.status != PeStatus::Found) {
        Require(found.offset == 0 && found.size == 0);
        return 0;
    }
    Require(found.offset <= size && found.size <= size - found.offset);
    fuzz::CheckWalkPromises(file.data() + found.offset, found.size);
    return 0;
}
