#include "namespace/type_facts.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string_view>

#include "common/count_text.h"
#include "common/path_block.h"
#include "namespace/link_chain.h"
#include "namespace/object_details.h"
#include "namespace/object_opener.h"
#include "namespace/visible_name.h"

namespace {

constexpr NTSTATUS kStatusProcedureNotFound = static_cast<NTSTATUS>(0xC000007A);
constexpr NTSTATUS kStatusObjectNameInvalid = static_cast<NTSTATUS>(0xC0000033);
constexpr ULONG kSecImage = 0x01000000;
constexpr ACCESS_MASK kDirectoryQuery = 0x1;
// Key information records are bounded by their 16-bit name lengths.
constexpr std::size_t kLargestKeyRecord = 0x20000;

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

// Types outside the nine rows that have open services of their own.
struct ExtraOpen {
    const char* typeName;
    NtOpenObjectProc service;  // null: resolved by lateName at run time
    const char* lateName;
    ACCESS_MASK queryRight;
};
constexpr ExtraOpen kExtraOpens[] = {
    {"IoCompletion", NtOpenIoCompletion, nullptr, kQueryRight},
    {"Job", nullptr, "NtOpenJobObject", kJobObjectQuery},
    {"KeyedEvent", nullptr, "NtOpenKeyedEvent", 0},
};

std::string Hex(ULONGLONG value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, value);
    return text;
}

template <std::size_t N>
std::string DescribeFlags(ULONG value, const FlagName (&names)[N], int digits) {
    std::string text;
    ULONG named = 0;
    for (const FlagName& flag : names) {
        if ((value & flag.flag) != flag.flag) continue;
        text += (text.empty() ? "" : ", ") + std::string(flag.name);
        named |= flag.flag;
    }
    if ((value & ~named) != 0) text += (text.empty() ? "other " : ", other ") + Hex(value & ~named, 1);
    return Hex(value, digits) + " (" + (text.empty() ? "none" : text) + ")";
}

template <std::size_t N>
std::string NameOf(ULONG number, const NumberName (&names)[N]) {
    for (const NumberName& entry : names) {
        if (entry.number == number) return entry.name;
    }
    return "type " + std::to_string(number);
}

std::string NotAvailable(NTSTATUS status) {
    if (status == kStatusProcedureNotFound) return std::string(kNotAvailable) + " on this system";
    return std::string(kNotAvailable) + " (status " + Hex(static_cast<ULONG>(status), 8) + ")";
}

std::string YesNo(bool value) { return value ? "Yes" : "No"; }

std::string CountWithPeak(ULONG count, ULONG peak) {
    std::string text = FormatCount(count);
    return peak != 0 ? text + " (peak " + FormatCount(peak) + ")" : text;
}

int TableRowOf(std::string_view typeName) {
    for (int row = 0; row < kObjectTypeCount; ++row) {
        if (typeName == ObjectTypeTable[row].typeName) return row;
    }
    return kTypeNotOpened;
}

// The object's entry in its directory, with the reader standing on it.
struct Listing {
    DirectoryReader reader;
    bool listed = false;
    bool nameIsExact = true;  // false: the listed name is a visible form
    std::string name;
    std::string typeName;
};

// True when name could be a visible form: each backslash in it starts one of
// the escapes that names ANSI cannot carry are shown with.
bool CouldBeVisibleName(std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') continue;
        if (i + 1 == name.size() || std::strchr("0tnrxu\\", name[i + 1]) == nullptr) return false;
        if (name[i + 1] == '\\') ++i;
    }
    return true;
}

bool ReadEntry(const std::string& directory, const std::string& name, Listing& listing) {
    if (!listing.reader.Open(directory.c_str())) return false;
    while (listing.reader.Next()) {
        if (name != listing.reader.Name()) continue;
        listing.listed = true;
        listing.nameIsExact = listing.reader.NameIsExact();
        listing.name = name;
        listing.typeName = listing.reader.TypeName();
        return true;
    }
    return false;
}

// The split at the last backslash comes first; a visible name holds
// backslashes of its own, so earlier splits follow while the rest could be one.
bool FindListing(const std::string& path, Listing& listing) {
    for (std::size_t split = path.rfind('\\'); split != std::string::npos;
         split = split == 0 ? std::string::npos : path.rfind('\\', split - 1)) {
        const std::string name = path.substr(split + 1);
        if (name.empty() || !CouldBeVisibleName(name)) return false;
        if (ReadEntry(split == 0 ? std::string(RootPath) : path.substr(0, split), name, listing)) return true;
    }
    return false;
}

struct OpenResult {
    UniqueNtHandle handle;
    NTSTATUS status = kStatusNotImplemented;
    bool hasService = true;  // false: objects of the type have no open service here
};

// Whether an open goes by the entry's own name in its directory: only where no
// path carries the name, as the list opens such entries.
bool ByEntry(const Listing& listing) { return listing.listed && !listing.nameIsExact; }

NTSTATUS OpenWithService(NtOpenObjectProc service, const Listing& listing, const char* path, ACCESS_MASK access,
                         HANDLE* handle) {
    *handle = nullptr;
    UNICODE_STRING entryName{};
    CountedUnicode pathName;
    OBJECT_ATTRIBUTES attributes{};
    if (ByEntry(listing)) {
        attributes = listing.reader.EntryAttributes(entryName);
    } else {
        const NTSTATUS status = pathName.AssignAnsi(path);
        if (status != kStatusSuccess) return status;
        attributes = MakeObjectAttributes(pathName.Get());
    }
    ++NamespaceCounters().opens;
    return service(handle, access, &attributes);
}

// A device opens as the property sheet opens it: as its row of the table,
// else through its Win32 device name.
OpenResult OpenDevice(const Listing& listing, const char* path) {
    OpenResult result;
    if (ByEntry(listing)) {
        HANDLE handle = nullptr;
        result.status = listing.reader.OpenEntry(kTypeDevice, 0, true, &handle);
        if (result.status == kStatusSuccess) result.handle.reset(handle);
        return result;
    }
    OpenedObject opened = OpenAnyObject(path, 0);
    if (opened.typeIndex == kTypeDevice) {
        result.handle = std::move(opened.handle);
        result.status = kStatusSuccess;
    }
    return result;
}

// Opens the object with its type's open service: with the type's query right
// first, then with what opens.
OpenResult OpenForFacts(const std::string& typeName, const Listing& listing, const char* path) {
    const int row = TableRowOf(typeName);
    if (row == kTypeDevice) return OpenDevice(listing, path);
    OpenResult result;
    HANDLE handle = nullptr;
    if (row != kTypeNotOpened) {
        for (ACCESS_MASK access : {kQueryRight, ACCESS_MASK{0}}) {
            result.status = ByEntry(listing) ? listing.reader.OpenEntry(row, access, true, &handle)
                                             : OpenObjectByType(row, path, access, true, &handle);
            if (result.status == kStatusSuccess) {
                result.handle.reset(handle);
                break;
            }
        }
        return result;
    }
    for (const ExtraOpen& extra : kExtraOpens) {
        if (typeName != extra.typeName) continue;
        const NtOpenObjectProc service =
            extra.service != nullptr ? extra.service : NtdllProcedure<NtOpenObjectProc>(extra.lateName);
        result.status = kStatusProcedureNotFound;
        if (service == nullptr) return result;
        for (ACCESS_MASK access : {extra.queryRight, kMaximumAllowed}) {
            if (access == 0) continue;
            result.status = OpenWithService(service, listing, path, access, &handle);
            if (result.status == kStatusSuccess) {
                result.handle.reset(handle);
                break;
            }
        }
        return result;
    }
    result.hasService = false;
    return result;
}

// What the type sections read from.
struct Gathering {
    const char* path;
    const Listing& listing;
    OpenResult& opened;
    AccessDescriber describe;
    TypeFacts& facts;

    void Add(const char* label, std::string value) { facts.lines.push_back({label, std::move(value)}); }
    // True when the object is open; otherwise each label says why not.
    bool Opened(std::initializer_list<const char*> labels) {
        if (opened.handle) return true;
        const std::string why =
            opened.hasService ? NotAvailable(opened.status) : std::string(kNotAvailable) + " (it does not open)";
        for (const char* label : labels) Add(label, why);
        return false;
    }
};

std::string FormatAddress(const void* address) {
    return Hex(reinterpret_cast<ULONG_PTR>(address), static_cast<int>(2 * sizeof(void*)));
}

void AddImageLines(Gathering& g, const SectionImageInformation& image) {
    g.Add("Entry point", FormatAddress(image.transferAddress));
    g.Add("Subsystem", NameOf(image.subsystemType, kSubsystems) + ", version " +
                           std::to_string(image.subsystemMajorVersion) + "." +
                           std::to_string(image.subsystemMinorVersion));
    g.Add("Image characteristics", DescribeFlags(image.imageCharacteristics, kImageCharacteristics, 4));
}

void SectionLines(Gathering& g) {
    if (!g.Opened({"Size", "Attributes"})) return;
    HANDLE section = g.opened.handle.get();
    SectionBasicInformation basic{};
    const NTSTATUS status = NtQuerySection(section, kSectionBasicInformation, &basic, sizeof basic, nullptr);
    if (status == kStatusSuccess) {
        g.Add("Size", FormatCount(basic.maximumSize.QuadPart) + " bytes");
        g.Add("Attributes", DescribeFlags(basic.allocationAttributes, kSectionAttributes, 8));
    } else {
        g.Add("Size", NotAvailable(status));
        g.Add("Attributes", NotAvailable(status));
    }
    // Only an image section has image lines; where its kind is unknown, the
    // image query alone decides.
    const bool knownImage = status == kStatusSuccess && (basic.allocationAttributes & kSecImage) != 0;
    if (status == kStatusSuccess && !knownImage) return;
    SectionImageInformation image{};
    const NTSTATUS imageStatus = NtQuerySection(section, kSectionImageInformation, &image, sizeof image, nullptr);
    if (imageStatus == kStatusSuccess) {
        AddImageLines(g, image);
    } else if (knownImage) {
        for (const char* label : {"Entry point", "Subsystem", "Image characteristics"})
            g.Add(label, NotAvailable(imageStatus));
    }
}

void TimerLines(Gathering& g) {
    if (!g.Opened({"Signalled", "Remaining time"})) return;
    TimerInformation timer{};
    const NTSTATUS status = NtQueryTimer(g.opened.handle.get(), 0, &timer, sizeof timer, nullptr);
    g.Add("Signalled", status == kStatusSuccess ? YesNo(timer.signalled != FALSE) : NotAvailable(status));
    g.Add("Remaining time",
          status == kStatusSuccess ? FormatSeconds(timer.remainingTime.QuadPart) : NotAvailable(status));
}

void CompletionLines(Gathering& g) {
    if (!g.Opened({"Queued entries"})) return;
    IoCompletionInformation completion{};
    const NTSTATUS status =
        NtQueryIoCompletion(g.opened.handle.get(), 0, &completion, sizeof completion, nullptr);
    g.Add("Queued entries", status == kStatusSuccess ? FormatCount(completion.depth) : NotAvailable(status));
}

void JobLines(Gathering& g) {
    if (!g.Opened({"Active processes", "Total processes", "Terminated processes", "Limit flags"})) return;
    const auto query = NtdllProcedure<NtQueryInformationJobObjectProc>("NtQueryInformationJobObject");
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    JOBOBJECT_BASIC_LIMIT_INFORMATION limits{};
    NTSTATUS status = kStatusProcedureNotFound;
    NTSTATUS limitStatus = kStatusProcedureNotFound;
    if (query != nullptr) {
        status = query(g.opened.handle.get(), kJobBasicAccountingInformation, &accounting, sizeof accounting, nullptr);
        limitStatus = query(g.opened.handle.get(), kJobBasicLimitInformation, &limits, sizeof limits, nullptr);
    }
    const bool read = status == kStatusSuccess;
    g.Add("Active processes", read ? FormatCount(accounting.ActiveProcesses) : NotAvailable(status));
    g.Add("Total processes", read ? FormatCount(accounting.TotalProcesses) : NotAvailable(status));
    g.Add("Terminated processes", read ? FormatCount(accounting.TotalTerminatedProcesses) : NotAvailable(status));
    g.Add("Limit flags", limitStatus == kStatusSuccess ? FormatJobLimitFlags(limits.LimitFlags)
                                                      : NotAvailable(limitStatus));
}

bool IsShortage(NTSTATUS status) {
    return status == kStatusBufferOverflow || status == kStatusBufferTooSmall || status == kStatusInfoLengthMismatch;
}

// One class of NtQueryKey into a buffer grown until the record fits.
NTSTATUS QueryKey(HANDLE key, ULONG informationClass, std::vector<ULONG_PTR>& buffer, ULONG& returned) {
    buffer.assign(512 / sizeof(ULONG_PTR), 0);
    for (;;) {
        const ULONG size = static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR));
        returned = 0;
        const NTSTATUS status = NtQueryKey(key, informationClass, buffer.data(), size, &returned);
        if (!IsShortage(status) || size >= kLargestKeyRecord) return status;
        const std::size_t wanted = returned > size ? returned : std::size_t{size} * 2;
        buffer.assign((wanted + sizeof(ULONG_PTR) - 1) / sizeof(ULONG_PTR), 0);
    }
}

void KeyLines(Gathering& g) {
    if (!g.Opened({"Subkeys", "Values", "Last write time", "Registry name"})) return;
    HANDLE key = g.opened.handle.get();
    std::vector<ULONG_PTR> buffer;
    ULONG returned = 0;
    NTSTATUS status = QueryKey(key, kKeyFullInformation, buffer, returned);
    // The record's fixed part ends before the padding that sizeof counts.
    constexpr ULONG kFixedPart = offsetof(KeyFullInformation, maxValueDataLength) + sizeof(ULONG);
    if (status == kStatusSuccess && returned < kFixedPart) status = kStatusInvalidParameter;
    KeyFullInformation full{};
    if (status == kStatusSuccess) std::memcpy(&full, buffer.data(), sizeof full);
    const bool read = status == kStatusSuccess;
    g.Add("Subkeys", read ? FormatCount(full.subKeys) : NotAvailable(status));
    g.Add("Values", read ? FormatCount(full.values) : NotAvailable(status));
    g.Add("Last write time", read ? FormatUtcCreationTime(full.lastWriteTime) : NotAvailable(status));

    // A byte count, then the characters; the class is newer than NT 4.0.
    status = QueryKey(key, kKeyNameInformation, buffer, returned);
    const std::size_t bufferBytes = buffer.size() * sizeof(ULONG_PTR);
    ULONG nameBytes = 0;
    if (status == kStatusSuccess) std::memcpy(&nameBytes, buffer.data(), sizeof nameBytes);
    if (status == kStatusSuccess && (nameBytes > bufferBytes - sizeof(ULONG) || nameBytes > 0xFFFE))
        status = kStatusInvalidParameter;
    if (status != kStatusSuccess) {
        g.Add("Registry name", NotAvailable(status));
        return;
    }
    UNICODE_STRING name{};
    name.Length = name.MaximumLength = static_cast<USHORT>(nameBytes);
    name.Buffer = reinterpret_cast<PWSTR>(reinterpret_cast<BYTE*>(buffer.data()) + sizeof(ULONG));
    std::string text;
    DescribePath(name, text);
    g.Add("Registry name", text);
}

void DeviceLines(Gathering& g) {
    if (!g.Opened({"Device type", "Characteristics"})) return;
    IO_STATUS_BLOCK ioStatus{};
    FILE_FS_DEVICE_INFORMATION device{};
    const NTSTATUS status =
        NtQueryVolumeInformationFile(g.opened.handle.get(), &ioStatus, &device, sizeof device, FileFsDeviceInformation);
    g.Add("Device type", status == kStatusSuccess ? FormatDeviceType(device.DeviceType) : NotAvailable(status));
    g.Add("Characteristics",
          status == kStatusSuccess ? FormatDeviceCharacteristics(device.Characteristics) : NotAvailable(status));
}

// A directory is counted by the page, a slice at a time, through its handle.
void DirectoryLines(Gathering& g) {
    if (!g.Opened({"Entries", "Directories", "Symbolic links"})) return;
    OBJECT_BASIC_INFORMATION basic{};
    NTSTATUS status = NtQueryObject(g.opened.handle.get(), ObjectBasicInformation, &basic, sizeof basic, nullptr);
    if (status == kStatusSuccess && (basic.GrantedAccess & kDirectoryQuery) == 0) status = kStatusAccessDenied;
    if (status == kStatusSuccess) {
        g.facts.directory = std::move(g.opened.handle);
        return;
    }
    for (const char* label : {"Entries", "Directories", "Symbolic links"}) g.Add(label, NotAvailable(status));
}

// Nothing is at path: no object there, or none the namespace could name so.
bool NothingAt(const std::string& path) {
    HANDLE handle = nullptr;
    const NTSTATUS status = OpenObjectByType(kTypeDirectory, path.c_str(), 0, false, &handle);
    UniqueNtHandle owner(handle);
    return status == kStatusObjectNameNotFound || status == kStatusObjectPathNotFound ||
           status == kStatusObjectNameInvalid;
}

// Where the chain ends, or why it stops, as Follow Link says it.
std::string ChainEnd(const LinkChain& chain) {
    const std::string& last = chain.paths.back();
    switch (chain.end) {
    case LinkChain::End::Target:
        return NothingAt(last) ? "nothing: " + last + " is not there" : last;
    case LinkChain::End::Nothing:
        return "nothing: \"" + last + "\" is no path the namespace resolves";
    case LinkChain::End::Loop:
        return "a loop: the links lead round to one passed already";
    case LinkChain::End::TooLong:
        return "more than " + std::to_string(kMaxLinksFollowed) + " links";
    case LinkChain::End::Unreadable:
        return "a link that cannot be read";
    }
    return last;
}

// The chain as Follow Link follows it, which goes by paths.
void LinkLines(Gathering& g) {
    if (g.listing.listed && !g.listing.nameIsExact) {
        g.Add("Chain", std::string(kNotAvailable) + " (no path carries this name)");
        return;
    }
    const LinkChain chain = FollowLinkChain(g.path);
    g.Add("Chain", chain.paths.front());
    for (std::size_t i = 1; i < chain.paths.size(); ++i) g.Add("", "-> " + chain.paths[i]);
    g.Add("End of chain", ChainEnd(chain));
}

void AddFigures(Gathering& g, const std::string& typeName, const ObjectTypeFigures& figures) {
    for (FactLine& line : DescribeTypeFigures(figures, TableRowOf(typeName), g.describe))
        g.facts.lines.push_back(std::move(line));
}

// An object of type "Type" stands for the type its name names.
void TypeObjectLines(Gathering& g) {
    g.facts.lines.push_back({"All objects of type \"" + g.listing.name + "\"", "", true});
    ObjectTypeFigures figures;
    const NTSTATUS status = QueryTypeFiguresByName(g.listing.name, figures);
    if (status != kStatusSuccess) {
        g.Add("Figures", NotAvailable(status));
        return;
    }
    AddFigures(g, g.listing.name, figures);
}

struct TypeSection {
    const char* typeName;
    const char* heading;  // null: the section writes its own
    void (*addLines)(Gathering& g);
};
constexpr TypeSection kTypeSections[] = {
    {"Section", "This section", SectionLines},
    {"Timer", "This timer", TimerLines},
    {"IoCompletion", "This completion port", CompletionLines},
    {"Job", "This job", JobLines},
    {"Key", "This key", KeyLines},
    {"Device", "This device", DeviceLines},
    {"Directory", "This directory", DirectoryLines},
    {"SymbolicLink", "This link", LinkLines},
    {"Type", nullptr, TypeObjectLines},
};

// The figures from the object's handle where it is of the listed type;
// otherwise from the list of every type, saying why.
void EveryObjectLines(Gathering& g) {
    const std::string& typeName = g.facts.typeName;
    g.facts.lines.push_back({"All objects of type \"" + typeName + "\"", "", true});
    ObjectTypeFigures figures;
    const NTSTATUS handleStatus =
        g.opened.handle ? QueryObjectTypeFigures(g.opened.handle.get(), figures) : g.opened.status;
    if (handleStatus == kStatusSuccess && figures.typeName == typeName) {
        AddFigures(g, typeName, figures);
        return;
    }
    std::string why;
    if (handleStatus == kStatusSuccess)
        why = "the object opens as a " + figures.typeName;
    else if (g.opened.handle)
        why = "the query on the object was refused (status " + Hex(static_cast<ULONG>(handleStatus), 8) + ")";
    else
        why = g.opened.hasService ? "the object does not open" : "objects of this type do not open";
    const NTSTATUS status = QueryTypeFiguresByName(typeName, figures);
    if (status != kStatusSuccess) {
        g.Add("Figures", NotAvailable(status));
        return;
    }
    AddFigures(g, typeName, figures);
    g.Add("Read from", "the list of every type, as " + why);
}

}  // namespace

TypeFacts GatherTypeFacts(const char* path, AccessDescriber describe) {
    TypeFacts facts;
    const std::string wanted = path != nullptr ? path : "";
    Listing listing;
    OpenResult opened;
    if (wanted == RootPath) {
        facts.typeName = ObjectTypeName(kTypeDirectory);
    } else if (FindListing(wanted, listing)) {
        facts.typeName = listing.typeName;
    } else {
        // Not in a directory (a key below \REGISTRY, say): the type is the row that opens it.
        OpenedObject any = OpenAnyObject(wanted.c_str(), 0);
        if (!any) return facts;
        facts.typeName = ObjectTypeName(any.typeIndex);
        opened = OpenForFacts(facts.typeName, listing, wanted.c_str());
        if (!opened.handle) {
            opened.handle = std::move(any.handle);
            opened.status = kStatusSuccess;
        }
    }
    if (!opened.handle) opened = OpenForFacts(facts.typeName, listing, wanted.c_str());
    facts.located = true;
    facts.lines.push_back({"Type", facts.typeName});

    Gathering gathering{wanted.c_str(), listing, opened, describe, facts};
    EveryObjectLines(gathering);
    for (const TypeSection& section : kTypeSections) {
        if (facts.typeName != section.typeName) continue;
        if (section.heading != nullptr) facts.lines.push_back({section.heading, "", true});
        section.addLines(gathering);
    }
    return facts;
}

std::vector<FactLine> DescribeTypeFigures(const ObjectTypeFigures& figures, int typeRow, AccessDescriber describe) {
    const GENERIC_MAPPING& mapping = figures.genericMapping;
    return {
        {"Objects", CountWithPeak(figures.objects, figures.peakObjects)},
        {"Handles", CountWithPeak(figures.handles, figures.peakHandles)},
        {"Valid access", describe(figures.validAccessMask, typeRow)},
        {"Generic read", describe(mapping.GenericRead, typeRow)},
        {"Generic write", describe(mapping.GenericWrite, typeRow)},
        {"Generic execute", describe(mapping.GenericExecute, typeRow)},
        {"Generic all", describe(mapping.GenericAll, typeRow)},
        {"Pool type", NameOf(figures.poolType, kPoolTypes)},
        {"Maintains handle counts", YesNo(figures.maintainsHandleCount)},
    };
}

void DirectoryCount::Start(UniqueNtHandle directory) {
    reader_.Adopt(std::move(directory));
    entries_ = directories_ = links_ = 0;
    running_ = true;
}

void DirectoryCount::Stop() {
    // A reader read to its end lets go of its directory.
    reader_ = DirectoryReader();
    running_ = false;
}

bool DirectoryCount::Step(long maxEntries, DWORD budgetMs) {
    const DWORD started = GetTickCount();
    for (long read = 0; running_ && read < maxEntries; ++read) {
        if (budgetMs != INFINITE && read > 0 && GetTickCount() - started >= budgetMs) break;
        if (!reader_.Next()) {
            running_ = false;
            break;
        }
        ++entries_;
        if (std::strcmp(reader_.TypeName(), "Directory") == 0) ++directories_;
        if (std::strcmp(reader_.TypeName(), "SymbolicLink") == 0) ++links_;
    }
    return running_;
}

std::vector<FactLine> DirectoryCount::Lines() const {
    const std::string soFar = running_ ? " so far" : "";
    return {
        {"Entries", FormatCount(entries_) + soFar},
        {"Directories", FormatCount(directories_) + soFar},
        {"Symbolic links", FormatCount(links_) + soFar},
    };
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
    return Hex(deviceType, 8) + " (" + (named ? kDeviceTypes[deviceType - 1] : "unnamed") + ")";
}

std::string FormatDeviceCharacteristics(ULONG characteristics) {
    return DescribeFlags(characteristics, kDeviceCharacteristics, 8);
}
