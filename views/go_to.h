// Going to a path typed by the user, or found by a search or a link: the
// directory it names is shown as if the user had selected it in the tree; an
// object is shown selected in its directory's list.
#pragma once

#include <windows.h>

#include <string>

// Where a path leads: a directory of the tree, or an object listed in one.
struct PathTarget {
    bool found = false;
    std::string directory;  // the directory to show, spelled as the namespace spells it
    std::string object;     // the object's name in it; empty when the path is the directory itself
    std::string problem;    // when not found: what exists and what does not, in the user's words
};

// Resolves a path the program made (a row's, a search result's, a link's
// target) byte for byte. Each name is looked up among its directory's own
// entries as the namespace matches names; symbolic links met on the way are
// followed; the last name is shown as itself, link or not. A directory made
// since the tree was last built is added to the tree.
PathTarget ResolvePath(const std::string& path);

// Resolves text the user typed: a relative path starts at the shown
// directory. The text is taken exactly as typed first; only where that
// names nothing, and the text is wrapped in quotes, without them.
PathTarget ResolveTypedPath(const std::string& typed);

// Shows a resolved path: selects its directory in the tree and, for an
// object, selects its row, scrolls to it and makes it the selected object.
// False when the object's row is not in the list (it went meanwhile).
bool ShowPath(const PathTarget& target);

// Shows a resolved path, or reports in a box owned by owner where it leads
// nowhere (or no longer leads); true when shown.
bool GoToTarget(const PathTarget& target, HWND owner);

// Resolves and shows a path the program made; a path that leads nowhere is
// reported in a box owned by owner, and the view stays as it was. True when shown.
bool GoToPath(const std::string& path, HWND owner);

// The same for text the user typed, such as the program's command line.
bool GoToTypedPath(const std::string& typed, HWND owner);

// Reports a failure to go somewhere in the program's error style.
void ShowGoToProblem(HWND owner, const std::string& text);

// Follows the link at path to the end of its chain of links and shows where
// it ends, as GoToPath would. A chain that loops, runs longer than 32 links
// or ends at nothing is reported in one box that shows the chain, and the
// view stays as it was. True when shown.
bool FollowLink(const std::string& path, HWND owner);
