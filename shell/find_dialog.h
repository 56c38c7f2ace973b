// The Find box: objects whose names hold a text, from the shown directory
// down or in the whole namespace. Results show while the search runs; the
// search reads a slice of entries per turn of the box's message loop, and
// the loop serves input and painting before each next turn, so the box
// answers its Stop button and Esc at any time.
#pragma once

#include <windows.h>

#include <string>

// The most entries one turn of a search reads before the box's loop runs again.
inline constexpr long kFindEntriesPerTurn = 1000;

// Runs the box, owned (and so disabling) owner. True, with chosen set, when
// the user chose a result to go to.
bool RunFindDialog(HWND owner, std::string& chosen);

// The Find Accessible box: the same search for the objects whose rights this
// account may use to change them, each opened with MAXIMUM_ALLOWED as the
// system grants it and closed again; a choice of rights instead of a name.
bool RunFindAccessibleDialog(HWND owner, std::string& chosen);

// The result of the last search after the one gone to last, from the first
// again after the last; false when the last search found nothing.
bool NextFoundPath(std::string& path);
