// SPDX-License-Identifier: MIT
#include "HID.h"

#include <gtest/gtest.h>

#include <vector>

// What a send to every mouse comes to, from what each mouse did, in the order they were listed.
TEST(MiceTest, TheReplyTellsWhatReachedTheMiceMost) {
    const Result taken{};
    const Result notOpened{Outcome::CannotOpen, HID_OPEN_FAILED};
    const Result refused{Outcome::SendFailed, HID_SEND_FAILED};
    const std::vector<std::pair<std::vector<Result>, Outcome>> cases = {
        {{}, Outcome::NoMouse},
        {{taken}, Outcome::Done},
        {{refused, taken}, Outcome::Done},
        {{notOpened, notOpened}, Outcome::CannotOpen},
        // A failed send reached a mouse, so it says more than a mouse that could not be opened,
        // whichever came first.
        {{notOpened, refused}, Outcome::SendFailed},
        {{refused, notOpened}, Outcome::SendFailed},
    };
    for (const auto& [results, outcome] : cases) {
        const Result overall = Mice::overall(results);
        EXPECT_EQ(overall.outcome, outcome) << results.size();
        EXPECT_EQ(overall.sentence.empty(), overall.done());
    }
}
