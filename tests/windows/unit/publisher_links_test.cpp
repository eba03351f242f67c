// A stored link that is empty or longer than the scratch space is never opened:
// no copy past the scratch buffer, no write before it, no shell call.
#include "app/publisher_links.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace mossgate;

TEST(PublisherLinks, NoLinkOrAnOverlongOneOpensNothing) {
    uint8_t stored[LINK_SCRATCH_BYTES + 64];
    std::memset(stored, 'h', sizeof(stored));
    OpenPublisherLink(stored, sizeof(stored));
    OpenPublisherLink(stored, LINK_SCRATCH_BYTES + 1);
    OpenPublisherLink(stored, 0);
    OpenPublisherLink(nullptr, 16);
    EXPECT_EQ(stored[0], 'h') << "the stored text was changed";
}

} // namespace
