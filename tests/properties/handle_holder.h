// What the Handles page tests and their helper process, handle_holder.exe,
// agree on: the names of the events in the test's scratch directory, and the
// access of the two handles the helper holds.
//
// Command line: handle_holder.exe <scratch directory> <test process id>
// [--many <n>] [<path> ...]. The helper opens <directory>\Held twice and
// each further path once (any type), then sets Done; afterwards it waits for
// one of the command events, acts and sets Done again. It ends on Quit or
// when the test process ends.
#pragma once

#include <windows.h>

namespace handle_holder {

inline constexpr char kHeld[] = "Held";
inline constexpr char kDone[] = "Done";
// HoldMany makes this many events, <directory>\Many000000 on, unless --many says otherwise.
inline constexpr long kManyEvents = 12000;
inline constexpr char kManyFormat[] = "Many%06ld";
inline constexpr char kManyOption[] = "--many";

// Commands, in the order of the helper's wait.
inline constexpr const char* kCommands[] = {
    "HoldBoth",  // keep both handles open, opening the second again if closed
    "HoldOne",   // close the second handle
    "Lock",      // deny everyone every access to the helper's process
    "Unlock",    // give the helper's process its own descriptor back
    "HoldMany",  // make the many events and hold them
    "DropMany",  // close the many events, which then vanish
    "Quit",
};
enum Command { kHoldBoth, kHoldOne, kLock, kUnlock, kHoldMany, kDropMany, kQuit };

// SYNCHRONIZE and EVENT_QUERY_STATE; EVENT_MODIFY_STATE and READ_CONTROL.
inline constexpr ACCESS_MASK kFirstAccess = 0x00100001;
inline constexpr ACCESS_MASK kSecondAccess = 0x00020002;

}  // namespace handle_holder
