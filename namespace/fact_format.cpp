#include "namespace/fact_format.h"

#include <cstdio>
#include <iterator>

#include "common/count_text.h"

namespace {

struct FlagName {
    ULONG flag;
    const char* name;
};

constexpr FlagName kSectionAttributes[] = {
    {0x00200000, "based"},
    {0x00400000, "no change"},
    {0x00800000, "file-backed"},
    {0x01000000, "image"},
    {0x02000000, "protected image"},
    {0x04000000, "reserve"},
    {0x08000000, "commit"},
    {0x10000000, "no cache"},
    {0x40000000, "write combine"},
    {0x80000000, "large pages"},
};

constexpr FlagName kImageCharacteristics[] = {
    {0x0001, "relocations stripped"},
    {0x0002, "executable"},
    {0x0004, "line numbers stripped"},
    {0x0008, "local symbols stripped"},
    {0x0010, "aggressive trim"},
    {0x0020, "large address aware"},
    {0x0080, "bytes reversed low"},
    {0x0100, "32-bit machine"},
    {0x0200, "debug stripped"},
    {0x0400, "run from swap if removable"},
    {0x0800, "run from swap if on network"},
    {0x1000, "system"},
    {0x2000, "DLL"},
    {0x4000, "uniprocessor only"},
    {0x8000, "bytes reversed high"},
};

constexpr FlagName kJobLimitFlags[] = {
    {0x0001, "working set"},
    {0x0002, "process time"},
    {0x0004, "job time"},
    {0x0008, "active processes"},
    {0x0010, "affinity"},
    {0x0020, "priority class"},
    {0x0040, "preserve job time"},
    {0x0080, "scheduling class"},
    {0x0100, "process memory"},
    {0x0200, "job memory"},
    {0x0400, "die on unhandled exception"},
    {0x0800, "breakaway allowed"},
    {0x1000, "silent breakaway"},
    {0x2000, "kill on job close"},
    {0x4000, "subset affinity"},
};

constexpr FlagName kDeviceCharacteristics[] = {
    {0x00000001, "removable media"},
    {0x00000002, "read-only"},
    {0x00000004, "floppy diskette"},
    {0x00000008, "write once"},
    {0x00000010, "remote"},
    {0x00000020, "mounted"},
    {0x00000040, "virtual volume"},
    {0x00000080, "generated name"},
    {0x00000100, "secure open"},
    {0x00000800, "plug and play"},
    {0x00001000, "terminal services"},
    {0x00002000, "WebDAV"},
    {0x00010000, "shared volume"},
    {0x00020000, "app container traversal"},
    {0x00040000, "portable"},
};

// The device types by their number, from 1.
constexpr const char* kDeviceTypes[] = {
    "Beep", "CD-ROM", "CD-ROM file system", "Controller", "Datalink", "DFS", "Disk", "Disk file system",
    "File system", "Inport port", "Keyboard", "Mailslot", "MIDI in", "MIDI out", "Mouse", "Multi-UNC provider",
    "Named pipe", "Network", "Network browser", "Network file system", "Null", "Parallel port",
    "Physical network card", "Printer", "Scanner", "Serial mouse port", "Serial port", "Screen", "Sound",
    "Streams", "Tape", "Tape file system", "Transport", "Unknown", "Video", "Virtual disk", "Wave in",
    "Wave out", "8042 port", "Network redirector", "Battery", "Bus extender", "Modem", "VDM", "Mass storage",
    "SMB", "Kernel streaming", "Changer", "Smart card", "ACPI", "DVD", "Full-screen video", "DFS file system",
    "DFS volume", "Serenum", "Terminal server", "KSEC", "FIPS", "InfiniBand",
};

struct NumberName {
    ULONG number;
    const char* name;
};

constexpr NumberName kSubsystems[] = {
    {1, "Native"},       {2, "Windows GUI"},      {3, "Windows console"},     {5, "OS/2 console"},
    {7, "POSIX console"}, {8, "Native Windows 9x driver"}, {9, "Windows CE GUI"}, {10, "EFI application"},
    {11, "EFI boot service driver"}, {12, "EFI runtime driver"}, {13, "EFI ROM"}, {14, "Xbox"},
    {16, "Windows boot application"},
};

constexpr NumberName kPoolTypes[] = {
    {0, "Non-paged"},
    {1, "Paged"},
    {2, "Non-paged, must succeed"},
    {4, "Non-paged, cache aligned"},
    {5, "Paged, cache aligned"},
    {6, "Non-paged, cache aligned, must succeed"},
    {512, "Non-paged, not executable"},
};

template <std::size_t N>
std::string DescribeFlags(ULONG value, const FlagName (&names)[N], int digits) {
    std::string text;
    ULONG named = 0;
    for (const FlagName& flag : names) {
        if ((value & flag.flag) != flag.flag) continue;
        text += (text.empty() ? "" : ", ") + std::string(flag.name);
        named |= flag.flag;
    }
    if ((value & ~named) != 0) text += (text.empty() ? "other " : ", other ") + FormatHex(value & ~named, 1);
    return FormatHex(value, digits) + " (" + (text.empty() ? "none" : text) + ")";
}

template <std::size_t N>
std::string NameOf(ULONG number, const NumberName (&names)[N]) {
    for (const NumberName& entry : names) {
        if (entry.number == number) return entry.name;
    }
    return "type " + std::to_string(number);
}

}  // namespace

std::string FormatHex(ULONGLONG value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, value);
    return text;
}

std::string FormatSeconds(LONGLONG hundredNanoseconds) {
    constexpr ULONGLONG kPerSecond = 10'000'000;
    const ULONGLONG magnitude = hundredNanoseconds < 0 ? 0ull - static_cast<ULONGLONG>(hundredNanoseconds)
                                                       : static_cast<ULONGLONG>(hundredNanoseconds);
    char milliseconds[8];
    std::snprintf(milliseconds, sizeof milliseconds, ".%03u", static_cast<unsigned>(magnitude % kPerSecond / 10'000));
    return (hundredNanoseconds < 0 ? "-" : "") + FormatCount(static_cast<long long>(magnitude / kPerSecond)) +
           milliseconds + " s";
}

std::string FormatJobLimitFlags(ULONG flags) { return DescribeFlags(flags, kJobLimitFlags, 8); }

std::string FormatDeviceType(ULONG deviceType) {
    const bool named = deviceType >= 1 && deviceType <= std::size(kDeviceTypes);
    return FormatHex(deviceType, 8) + " (" + (named ? kDeviceTypes[deviceType - 1] : "unnamed") + ")";
}

std::string FormatDeviceCharacteristics(ULONG characteristics) {
    return DescribeFlags(characteristics, kDeviceCharacteristics, 8);
}

std::string FormatSectionAttributes(ULONG attributes) { return DescribeFlags(attributes, kSectionAttributes, 8); }

std::string FormatImageCharacteristics(USHORT characteristics) {
    return DescribeFlags(characteristics, kImageCharacteristics, 4);
}

std::string FormatSubsystem(ULONG subsystem, USHORT majorVersion, USHORT minorVersion) {
    return NameOf(subsystem, kSubsystems) + ", version " + std::to_string(majorVersion) + "." +
           std::to_string(minorVersion);
}

std::string FormatPoolType(ULONG poolType) { return NameOf(poolType, kPoolTypes); }
