// The number of handles this process holds, and of the blocks the handle
// list reads take, for tests that check that code gives back all it takes.
#pragma once

#include "namespace/handle_list.h"

// GetProcessHandleCount where the platform keeps the count; where it answers
// 0 (Wine), the handle values that name an open handle, probed one by one.
long CountProcessHandles();

// Counts the blocks of InformationBuffer taken and not yet given back while
// it lives; the platform's allocation comes back after. Made while no block is held.
class InformationBlockCount {
public:
    InformationBlockCount();
    InformationBlockCount(const InformationBlockCount&) = delete;
    InformationBlockCount& operator=(const InformationBlockCount&) = delete;
    ~InformationBlockCount();

    long Live() const;

private:
    InformationBlockSource platform_;
};
