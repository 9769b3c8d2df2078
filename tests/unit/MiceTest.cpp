// SPDX-License-Identifier: MIT
#include "Mice.h"

#include <gtest/gtest.h>

#include <vector>

// What a send to every mouse comes to, from what each mouse did, in the order they were listed.
TEST(MiceTest, TheReplyTellsWhatReachedTheMiceMost) {
    const std::vector<std::pair<std::vector<Outcome>, Outcome>> cases = {
        {{}, Outcome::NoMouse},
        {{Outcome::Done}, Outcome::Done},
        {{Outcome::SendFailed, Outcome::Done}, Outcome::Done},
        {{Outcome::CannotOpen, Outcome::CannotOpen}, Outcome::CannotOpen},
        // A failed send reached a mouse, so it says more than a mouse that could not be opened,
        // whichever came first.
        {{Outcome::CannotOpen, Outcome::SendFailed}, Outcome::SendFailed},
        {{Outcome::SendFailed, Outcome::CannotOpen}, Outcome::SendFailed},
    };
    for (const auto& [outcomes, overall] : cases) {
        EXPECT_EQ(Mice::overall(outcomes), overall) << outcomes.size();
    }
}
