// libFuzzer target: arbitrary bytes as one batch of a folder listing, read record
// by record as the program reads it. Promises checked (a broken one aborts):
//   - the reader reads only the batch: it gets a heap block of the input's exact
//     size, so AddressSanitizer stops a read past it;
//   - every record read moves forward and its next record starts inside the
//     batch, so the reading ends;
//   - a name read is terminated inside its field.
#include "common/portable/listing_record.h"
#include "tests/fuzz/walk_promises.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace mossgate;
    using fuzz::Require;
    const std::vector<uint8_t> batch(data, data + size);
    ListedRecord record;
    size_t offset = 0;
    while (offset < size && ReadListedRecord(batch.data(), batch.size(), offset, record)) {
        Require(record.next > offset && record.next <= size);
        bool terminated = false;
        for (char16_t unit : record.name) {
            terminated = terminated || unit == u'\0';
        }
        Require(terminated);
        offset = record.next;
    }
    return 0;
}
