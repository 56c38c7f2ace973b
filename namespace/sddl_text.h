// A security descriptor written as SDDL text by the program's own code: the
// platform's converter came after NT 4.0.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Writes the parts of a self-relative descriptor of size bytes that parts
// names and the descriptor holds, in the order owner, group, DACL, SACL.
// False, with text unchanged, when the descriptor is malformed: nothing is
// read outside its size bytes. A callback ACE's condition and a resource
// attribute ACE's claim the writer cannot decode are written as
// "(condition not shown)" and "(attribute not shown)"; an ACE of a type
// whose layout it does not read, as its type code and flags only.
bool WriteSddl(const BYTE* descriptor, std::size_t size, SECURITY_INFORMATION parts, std::string& text);

// Appends the SID at the start of size bytes, abbreviated where the format
// has letters for it, and sets used to its length. False, with text
// unchanged, when it does not fit.
bool AppendSddlSid(const BYTE* sid, std::size_t size, std::string& text, std::size_t& used);
