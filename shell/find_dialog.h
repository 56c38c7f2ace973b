// The Find box: objects whose names hold a text, from the shown directory
// down or in the whole namespace. The search runs on the box's worker, which
// hands what it finds to the box a step at a time; results show while it
// runs, and the box's thread is free to answer Stop and Esc at any time.
#pragma once

#include <windows.h>

#include <string>

// The entries the worker reads in a step: it looks for Stop after each, and
// Find Accessible hands their opens to its watched thread together.
inline constexpr long kFindEntriesPerStep = 100;

// Runs the box, owned (and so disabling) owner. True, with chosen set, when
// the user chose a result to go to.
bool RunFindDialog(HWND owner, std::wstring& chosen);

// The Find Accessible box: the same search for the objects whose rights this
// account may use to change them, each opened with MAXIMUM_ALLOWED as the
// system grants it and closed again; a choice of rights instead of a name.
// Devices are opened only when the box is ticked; an open that does not
// answer in time is named, and the search goes on.
bool RunFindAccessibleDialog(HWND owner, std::wstring& chosen);

// The result of the last search after the one gone to last, from the first
// again after the last; false when the last search found nothing.
bool NextFoundPath(std::wstring& path);
