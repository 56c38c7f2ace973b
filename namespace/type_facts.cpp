#include "namespace/type_facts.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "common/count_text.h"
#include "common/path_block.h"
#include "namespace/fact_format.h"
#include "namespace/access_names.h"
#include "namespace/link_chain.h"
#include "namespace/object_details.h"
#include "namespace/object_opener.h"
#include "namespace/other_type_open.h"
#include "namespace/visible_name.h"

RowOpenProc TypeProbeOpens = OpenObjectExactlyAs;

namespace {

constexpr ULONG kSecImage = 0x01000000;
constexpr ACCESS_MASK kDirectoryQuery = 0x1;
// Key information records are bounded by their 16-bit name lengths.
constexpr std::size_t kLargestKeyRecord = 0x20000;

std::string NotAvailable(NTSTATUS status) {
    if (status == kStatusProcedureNotFound) return std::string(kNotAvailable) + " on this system";
    return std::string(kNotAvailable) + " (status " + FormatHex(static_cast<ULONG>(status), 8) + ")";
}

std::string YesNo(bool value) { return value ? "Yes" : "No"; }

std::string CountWithPeak(ULONG count, ULONG peak) {
    std::string text = FormatCount(count);
    return peak != 0 ? text + " (peak " + FormatCount(peak) + ")" : text;
}

// The object's entry in its directory.
struct Listing {
    bool listed = false;
    std::string name;  // as the list shows it
    std::string typeName;
};

// Reads the directory of an exact path up to the entry its last name spells
// exactly: for objects no open service here knows.
bool FindListing(const std::wstring& path, Listing& listing) {
    const std::size_t split = path.rfind(L'\\');
    if (split == std::wstring::npos || split + 1 == path.size()) return false;
    const std::wstring directory = split == 0 ? std::wstring(L"\\") : path.substr(0, split);
    const std::wstring_view name = std::wstring_view(path).substr(split + 1);
    DirectoryReader reader;
    if (!reader.Open(ObjectName("", &directory))) return false;
    while (reader.Next()) {
        const UNICODE_STRING& entry = reader.WideName();
        if (std::wstring_view(entry.Buffer, entry.Length / sizeof(WCHAR)) != name) continue;
        listing.listed = true;
        listing.name = reader.Name();
        listing.typeName = reader.TypeName();
        return true;
    }
    return false;
}

struct OpenResult {
    UniqueNtHandle handle;
    NTSTATUS status = kStatusNotImplemented;
    bool hasService = true;  // false: objects of the type have no open service here
};

// A device opens as the property sheet opens it: as its row of the table,
// else through its Win32 device name.
OpenResult OpenDevice(const ObjectName& path) {
    OpenResult result;
    OpenedObject opened = OpenAnyObject(path, 0);
    if (opened.typeIndex == kTypeDevice) {
        result.handle = std::move(opened.handle);
        result.status = kStatusSuccess;
    }
    return result;
}

// The type of the object at path, learnt from the open services asked for
// no access: a service of another type answers with a type mismatch, its own
// type's with the object, or with a refusal where the system refuses an open
// that asks for nothing. Links come first, as the namespace follows a link
// for any other type's service; a link's refusal is left to the directory,
// since a refusal in the path before the last name reads the same. Empty
// where no service here knows the type; far cheaper than reading a huge
// directory up to the entry.
std::string TypeByOpening(const ObjectName& path) {
    auto answers = [](NTSTATUS status, HANDLE handle) {
        if (handle != nullptr) NtClose(handle);
        return status == kStatusSuccess || status == kStatusAccessDenied;
    };
    for (int row = 0; row < kTypeDevice; ++row) {
        HANDLE handle = nullptr;
        const NTSTATUS status = TypeProbeOpens(row, path, 0, &handle);
        if (row == kTypeSymbolicLink && status == kStatusAccessDenied) return {};
        if (answers(status, handle)) return ObjectTypeName(row);
        if (status != kStatusObjectTypeMismatch) return {};  // nothing there to ask about
    }
    for (const OtherType& other : kOtherTypes) {
        HANDLE handle = nullptr;
        if (answers(OpenAsOtherType(other, path, 0, &handle), handle)) return other.typeName;
    }
    return {};
}

// Opens the object with its type's open service: with the type's query right
// first, then with what opens.
OpenResult OpenForFacts(const std::string& typeName, const ObjectName& path) {
    const int row = ObjectTypeRowOf(typeName);
    if (row == kTypeDevice) return OpenDevice(path);
    OpenResult result;
    HANDLE handle = nullptr;
    if (row != kTypeNotOpened) {
        // By path exactly as asked: an object may grant its query right, or
        // something, and still withhold READ_CONTROL.
        for (ACCESS_MASK access : {kQueryRight, kMaximumAllowed}) {
            result.status = OpenObjectExactlyAs(row, path, access, &handle);
            if (result.status == kStatusSuccess) {
                result.handle.reset(handle);
                break;
            }
        }
        return result;
    }
    if (const OtherType* other = OtherTypeNamed(typeName)) {
        for (ACCESS_MASK access : {other->queryRight, kMaximumAllowed}) {
            if (access == 0) continue;
            result.status = OpenAsOtherType(*other, path, access, &handle);
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
    const ObjectName& path;
    const Listing& listing;
    OpenResult& opened;
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
    return FormatHex(reinterpret_cast<ULONG_PTR>(address), static_cast<int>(2 * sizeof(void*)));
}

void AddImageLines(Gathering& g, const SectionImageInformation& image) {
    g.Add("Entry point", FormatAddress(image.transferAddress));
    g.Add("Subsystem",
          FormatSubsystem(image.subsystemType, image.subsystemMajorVersion, image.subsystemMinorVersion));
    g.Add("Image characteristics", FormatImageCharacteristics(image.imageCharacteristics));
}

void SectionLines(Gathering& g) {
    if (!g.Opened({"Size", "Attributes"})) return;
    HANDLE section = g.opened.handle.get();
    SectionBasicInformation basic{};
    const NTSTATUS status = NtQuerySection(section, kSectionBasicInformation, &basic, sizeof basic, nullptr);
    if (status == kStatusSuccess) {
        g.Add("Size", FormatCount(basic.maximumSize.QuadPart) + " bytes");
        g.Add("Attributes", FormatSectionAttributes(basic.allocationAttributes));
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
    ACCESS_MASK granted = 0;
    NTSTATUS status = QueryGrantedAccess(g.opened.handle.get(), granted);
    if (status == kStatusSuccess && (granted & kDirectoryQuery) == 0) status = kStatusAccessDenied;
    if (status == kStatusSuccess) {
        g.facts.directory = std::move(g.opened.handle);
        return;
    }
    for (const char* label : {"Entries", "Directories", "Symbolic links"}) g.Add(label, NotAvailable(status));
}

// Where the chain ends, or why it stops, as Follow Link says it.
std::string ChainEnd(const LinkChain& chain) {
    const std::string last = VisiblePath(chain.paths.back());
    switch (chain.end) {
    case LinkChain::End::Target:
        return chain.last.found ? VisiblePath(chain.last.Path()) : "nothing: " + last + " is not there";
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

// The chain as Follow Link follows it, through the path resolver.
void LinkLines(Gathering& g) {
    const LinkChain chain = FollowLinkChain(g.path.Wide());
    for (std::size_t i = 0; i < chain.paths.size(); ++i) {
        std::string hop = VisiblePath(chain.paths[i]);
        if (i < chain.notes.size() && !chain.notes[i].empty()) hop += "  (" + chain.notes[i] + ")";
        g.Add(i == 0 ? "Chain" : "", i == 0 ? hop : "-> " + hop);
    }
    g.Add("End of chain", ChainEnd(chain));
}

void AddFigures(Gathering& g, const std::string& typeName, const ObjectTypeFigures& figures) {
    for (FactLine& line : DescribeTypeFigures(figures, typeName))
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
        why = "the query on the object was refused (status " + FormatHex(static_cast<ULONG>(handleStatus), 8) + ")";
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

TypeFacts GatherTypeFacts(const ObjectName& path) {
    TypeFacts facts;
    if (path.path == nullptr) return facts;
    Listing listing;
    OpenResult opened;
    if (path.exact == nullptr && std::strcmp(path.path, RootPath) == 0) {
        facts.typeName = ObjectTypeName(kTypeDirectory);
    } else if (!(facts.typeName = TypeByOpening(path)).empty()) {
        // Found by its open services; the directory need not be read.
    } else if (FindListing(path.Wide(), listing)) {
        facts.typeName = listing.typeName;
    } else {
        // Not in a directory (a key below \REGISTRY, say): the type is the row that opens it.
        OpenedObject any = OpenAnyObject(path, 0);
        if (!any) return facts;
        facts.typeName = ObjectTypeName(any.typeIndex);
        opened = OpenForFacts(facts.typeName, path);
        if (!opened.handle) {
            opened.handle = std::move(any.handle);
            opened.status = kStatusSuccess;
        }
    }
    if (!opened.handle) opened = OpenForFacts(facts.typeName, path);
    facts.located = true;
    facts.lines.push_back({"Type", facts.typeName});

    Gathering gathering{path, listing, opened, facts};
    EveryObjectLines(gathering);
    for (const TypeSection& section : kTypeSections) {
        if (facts.typeName != section.typeName) continue;
        if (section.heading != nullptr) facts.lines.push_back({section.heading, "", true});
        section.addLines(gathering);
    }
    return facts;
}

std::vector<FactLine> DescribeTypeFigures(const ObjectTypeFigures& figures, std::string_view typeName) {
    const GENERIC_MAPPING& mapping = figures.genericMapping;
    return {
        {"Objects", CountWithPeak(figures.objects, figures.peakObjects)},
        {"Handles", CountWithPeak(figures.handles, figures.peakHandles)},
        {"Valid access", DescribeAccess(figures.validAccessMask, typeName)},
        {"Generic read", DescribeAccess(mapping.GenericRead, typeName)},
        {"Generic write", DescribeAccess(mapping.GenericWrite, typeName)},
        {"Generic execute", DescribeAccess(mapping.GenericExecute, typeName)},
        {"Generic all", DescribeAccess(mapping.GenericAll, typeName)},
        {"Pool type", FormatPoolType(figures.poolType)},
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
        if (std::strcmp(reader_.TypeName(), ObjectTypeName(kTypeDirectory)) == 0) ++directories_;
        if (std::strcmp(reader_.TypeName(), ObjectTypeName(kTypeSymbolicLink)) == 0) ++links_;
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
