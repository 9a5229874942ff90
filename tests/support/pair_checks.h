// What two sides of an online game must agree on once it is played.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/online_pair.h"

// No desync, at least `frames` confirmed, and the same confirmed keys and hash.
inline ::testing::AssertionResult sidesAgree(const SideOutcome& host, const SideOutcome& joiner,
                                             int frames) {
    if (host.desync != -1 || joiner.desync != -1)
        return ::testing::AssertionFailure()
               << "desync at " << host.desync << " / " << joiner.desync;
    if (host.confirmed <= frames)
        return ::testing::AssertionFailure() << host.confirmed << " frames confirmed";
    if (host.one != joiner.one || host.two != joiner.two)
        return ::testing::AssertionFailure() << "the confirmed keys differ";
    if (host.hash != joiner.hash) return ::testing::AssertionFailure() << "the hashes differ";
    return ::testing::AssertionSuccess();
}
