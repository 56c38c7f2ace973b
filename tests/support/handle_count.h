// The number of handles this process holds, for tests that check that code
// gives back every handle it opens.
#pragma once

// GetProcessHandleCount where the platform keeps the count; where it answers
// 0 (Wine), the handle values that name an open handle, probed one by one.
long CountProcessHandles();
