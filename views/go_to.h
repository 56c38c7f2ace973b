// Going to a path typed by the user, or found by a search or a link: the
// path resolver (namespace/path_resolver.h) finds where it leads; the
// directory is shown as if the user had selected it in the tree, an object
// selected in its directory's list.
#pragma once

#include <windows.h>

#include <string>

#include "namespace/object_opener.h"
#include "namespace/path_resolver.h"

// Shows a resolved path: selects its directory in the tree (adding the
// directories the tree lacks) and, for an object, selects its row, scrolls to
// it and makes it the selected object. Where \GLOBAL?? answered for a name
// \?? lacks, the status bar says so. False when the object's row is not in
// the list (it went meanwhile).
bool ShowPath(const ResolvedPath& target);

// Shows a resolved path, or reports in a box owned by owner where it leads
// nowhere (or no longer leads); true when shown.
bool GoToTarget(const ResolvedPath& target, HWND owner);

// Resolves and shows a path the program made; a path that leads nowhere is
// reported in a box owned by owner, and the view stays as it was. True when shown.
bool GoToPath(const ObjectName& path, HWND owner);

// The same for text the user typed, such as the program's command line.
bool GoToTypedPath(std::wstring_view typed, HWND owner);

// Reports a failure to go somewhere in the program's error style.
void ShowGoToProblem(HWND owner, const std::string& text);

// Follows the link at path to the end of its chain of links and shows where
// it ends, as GoToPath would. A chain that loops, runs longer than 32 links
// or ends at nothing is reported in one box that shows the chain, and the
// view stays as it was. True when shown.
bool FollowLink(const ObjectName& path, HWND owner);
