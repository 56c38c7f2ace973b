// Rights named as the permission tables name them, for the pages that show
// what a handle or an account was granted.
#pragma once

#include <windows.h>

#include <string>

#include "properties/security_page.h"

// The permission table of an object opened as a row of ObjectTypeTable.
SecurityObjectKind KindOfTypeRow(int typeRow);

// A right's title in the permission table without its mnemonic and without
// the trailing letter in parentheses: "&Query State (Q)" is "Query State".
std::string RightName(const wchar_t* title);

// A mask as the pages write it: "0x00100001".
std::string FormatAccessMask(ACCESS_MASK mask);

// A granted mask: the whole mask in hex, then the single rights of the
// object's permission table that it holds, e.g. "0x00100001 (Synchronize,
// Query State)". typeRow is the object's row of ObjectTypeTable.
std::string DescribeAccess(ACCESS_MASK granted, int typeRow);
