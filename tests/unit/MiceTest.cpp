// SPDX-License-Identifier: MIT
#include "Mice.h"

#include <gtest/gtest.h>

#include <vector>

// What a send to every mouse comes to, from what each mouse did, in the order they were listed.
TEST(MiceTest, TheReplyTellsWhatReachedTheMiceMost) {
    const Outcome taken = Outcome::Done;
    const Outcome notOpened = Outcome::CannotOpen;
    const Outcome refused = Outcome::SendFailed;
    const std::vector<std::pair<std::vector<Outcome>, Outcome>> cases = {
        {{}, Outcome::NoMouse},
        {{taken}, Outcome::Done},
        {{refused, taken}, Outcome::Done},
        {{notOpened, notOpened}, Outcome::CannotOpen},
        // A failed send reached a mouse, so it says more than a mouse that could not be opened,
        // whichever came first.
        {{notOpened, refused}, Outcome::SendFailed},
        {{refused, notOpened}, Outcome::SendFailed},
    };
    for (const auto& [outcomes, overall] : cases) {
        EXPECT_EQ(Mice::overall(outcomes), overall) << outcomes.size();
    }
}
