// The data after an ACE's trustee written as SDDL: a callback ACE's
// conditional expression and a resource attribute ACE's claim. Both read
// only the size bytes given, the rest of their ACE.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Appends "(condition)" for application data holding a conditional
// expression. False, with text unchanged, when the data is not one or holds
// what the text cannot show exactly.
bool AppendSddlCondition(const BYTE* data, std::size_t size, std::string& text);

// Appends ("Name",TI,0x0,value,...) for a claim attribute's data. False,
// with text unchanged, when it cannot be shown exactly.
bool AppendSddlClaim(const BYTE* data, std::size_t size, std::string& text);
