// Names as the program shows them. The program addresses objects by ANSI
// paths, which cannot carry every name: characters the ANSI code page lacks
// would turn into others, a NUL would end the path early, and a TAB would
// split a list row. Such a name is shown in a visible form that no real name
// can have: each character it cannot carry becomes an escape that begins with
// a backslash, which no name in the namespace contains (it separates names):
//   \0 \t \n \r   NUL, TAB, line feed, carriage return
//   \xHH          any other control character
//   \uHHHH        a character outside the ANSI code page (one UTF-16 unit)
//   \\            a backslash (in a name; in a path it is the separator)
// A row or path made from a visible form never opens anything by its text.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <string>
#include <string_view>

// Converts a counted UTF-16 name for display. True when the ANSI text is the
// name exactly, so that a path built from it addresses this object; false
// when out holds the visible form.
bool DescribeName(const UNICODE_STRING& name, std::string& out);

// The same for a whole path, such as a link's target, whose backslashes stay.
bool DescribePath(const UNICODE_STRING& path, std::string& out);

// A counted view of UTF-16 text; text longer than a counted string holds is cut
// to the most it can carry (32,767 units), which no name in the namespace exceeds.
UNICODE_STRING CountedView(std::wstring_view text);

// An ANSI path widened through the code page, as the opener widens it.
std::wstring WidenPath(std::string_view ansi);

// The ANSI form of a UTF-16 path: true when it is the path exactly; otherwise
// out holds its visible form.
bool NarrowPath(std::wstring_view path, std::string& out);

// The visible form of a UTF-16 path or name, for texts shown to the user.
std::string VisiblePath(std::wstring_view path);
std::string VisibleName(std::wstring_view name);
