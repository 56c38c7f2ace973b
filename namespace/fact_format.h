// How the Type page's facts read: masks in hex with the names of their
// flags, device types, subsystems, pool types and times in seconds.
#pragma once

#include <windows.h>

#include <string>

// "0x0000001F", with at least digits hex digits.
std::string FormatHex(ULONGLONG value, int digits);

// 100-nanosecond units as seconds with their sign: "-1.500 s".
std::string FormatSeconds(LONGLONG hundredNanoseconds);

// Flag masks, each "0x... (name, name)", "(none)" for 0; bits without a name
// show as "other 0x...".
std::string FormatSectionAttributes(ULONG attributes);          // "0x08000000 (commit)"
std::string FormatImageCharacteristics(USHORT characteristics);  // "0x2102 (executable, 32-bit machine, DLL)"
std::string FormatJobLimitFlags(ULONG flags);                    // "0x00000008 (active processes)"
std::string FormatDeviceCharacteristics(ULONG characteristics);  // "0x00000100 (secure open)"

// "0x00000015 (Null)"
std::string FormatDeviceType(ULONG deviceType);
// "Windows GUI, version 4.0"
std::string FormatSubsystem(ULONG subsystem, USHORT majorVersion, USHORT minorVersion);
// "Paged"
std::string FormatPoolType(ULONG poolType);
