// A security descriptor written as SDDL text by the program's own code: the
// platform's converter came after NT 4.0.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Writes the parts of a self-relative descriptor of size bytes that parts
// names and the descriptor holds, in the order owner, group, DACL, SACL.
// False, with text unchanged, when the descriptor is malformed: nothing is
// read outside its size bytes.
bool WriteSddl(const BYTE* descriptor, std::size_t size, SECURITY_INFORMATION parts, std::string& text);
