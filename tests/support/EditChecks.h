// Checks of the edits a panel reports to its host, shared by the panel tests of the Linux
// and Windows builds.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "tools/PluginHost.h"

namespace editcheck {

// Every begin of an edit is ended, begin, end and every write name the same parameter,
// and every write happens inside such a bracket: what a host in touch mode relies on.
inline void expectBracketed(const std::vector<harness::HostCall>& calls, int32_t parameter)
{
    int depth = 0;
    int brackets = 0;
    for (const harness::HostCall& call : calls) {
        if (call.opcode == audioMasterBeginEdit) {
            EXPECT_EQ(call.index, parameter) << "begin of an edit";
            ++depth;
            ++brackets;
        } else if (call.opcode == audioMasterEndEdit) {
            EXPECT_EQ(call.index, parameter) << "end of an edit";
            --depth;
            EXPECT_GE(depth, 0) << "an edit ended that never began";
        } else if (call.opcode == audioMasterAutomate) {
            EXPECT_EQ(call.index, parameter) << "parameter written";
            EXPECT_GT(depth, 0) << "parameter " << call.index << " written outside an edit";
        }
    }
    EXPECT_GT(brackets, 0);
    EXPECT_EQ(depth, 0);
}

}  // namespace editcheck
