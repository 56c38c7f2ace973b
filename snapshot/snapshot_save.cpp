#include "snapshot/snapshot_save.h"

#include <cstdio>

#include "common/unique_owner.h"
#include "namespace/directory_walk.h"
#include "namespace/object_opener.h"
#include "namespace/path_resolver.h"
#include "namespace/sddl_text.h"
#include "namespace/visible_name.h"

namespace {

constexpr SECURITY_INFORMATION kPermissionParts =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

std::wstring WidenAscii(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring StatusText(NTSTATUS status) {
    char text[32];
    std::snprintf(text, sizeof text, "status 0x%08lX", static_cast<unsigned long>(status));
    return WidenAscii(text);
}

// Why an open with MAXIMUM_ALLOWED left nothing to read from.
std::wstring WhyNotOpened(NTSTATUS status) {
    if (status == kStatusAccessDenied) return L"the object grants this account no right";
    return L"not opened: " + StatusText(status);
}

SnapshotFact SddlFact(const std::vector<BYTE>& descriptor, SECURITY_INFORMATION parts) {
    std::string sddl;
    if (!WriteSddl(descriptor.data(), descriptor.size(), parts, sddl)) return SnapshotFact::Missing(L"malformed descriptor");
    return SnapshotFact::Value(WidenAscii(sddl));
}

SnapshotFact DescriptorFact(const SecurityFacts& facts) {
    if (!facts.handle) return SnapshotFact::Missing(WhyNotOpened(facts.access.status));
    if (facts.descriptorStatus == kStatusSuccess) return SddlFact(facts.descriptor, kPermissionParts);
    if ((facts.access.granted & kReadControl) == 0) return SnapshotFact::Missing(L"READ_CONTROL not granted");
    return SnapshotFact::Missing(StatusText(facts.descriptorStatus));
}

SnapshotFact SaclFact(const SecurityFacts& facts) {
    if (facts.saclRead) return SddlFact(facts.descriptor, SACL_SECURITY_INFORMATION);
    if (!facts.handle) return SnapshotFact::Missing(WhyNotOpened(facts.access.status));
    return SnapshotFact::Missing(facts.auditOpened ? L"the SACL could not be read"
                                                   : L"the open for the SACL was refused");
}

SnapshotFact RightsFact(const SecurityFacts& facts) {
    if (facts.handle) return SnapshotFact::Value(RightsText(facts.access.granted));
    // A MAXIMUM_ALLOWED open is refused exactly when nothing is granted.
    if (facts.access.status == kStatusAccessDenied) return SnapshotFact::Value(RightsText(0));
    return SnapshotFact::Missing(WhyNotOpened(facts.access.status));
}

SnapshotFact TargetFact(const SecurityFacts& facts) {
    if (!facts.handle) return SnapshotFact::Missing(WhyNotOpened(facts.access.status));
    if ((facts.access.granted & kQueryRight) == 0) return SnapshotFact::Missing(L"SYMBOLIC_LINK_QUERY not granted");
    std::wstring target;
    const NTSTATUS status = ReadSymbolicLinkTargetExactly(facts.handle.get(), target);
    if (status != kStatusSuccess) return SnapshotFact::Missing(StatusText(status));
    return SnapshotFact::Value(std::move(target));
}

std::wstring WindowsVersion() {
    RTL_OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const auto getVersion = NtdllProcedure<RtlGetVersionProc>("RtlGetVersion");
    if (getVersion == nullptr || getVersion(&version) != kStatusSuccess) {
        OSVERSIONINFOW older{};
        older.dwOSVersionInfoSize = sizeof older;
        if (!GetVersionExW(&older)) return L"unknown";
        version.dwMajorVersion = older.dwMajorVersion;
        version.dwMinorVersion = older.dwMinorVersion;
        version.dwBuildNumber = older.dwBuildNumber;
        lstrcpynW(version.szCSDVersion, older.szCSDVersion, 128);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu", version.dwMajorVersion, version.dwMinorVersion,
                  version.dwBuildNumber & 0xFFFF);
    std::wstring described = WidenAscii(text);
    if (version.szCSDVersion[0] != L'\0') described += L" " + std::wstring(version.szCSDVersion);
    return described;
}

// "DOMAIN\name (SID)", as far as the system tells.
std::wstring AccountName() {
    UniqueWin32Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return L"unknown";
    alignas(8) BYTE buffer[256];
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size)) return L"unknown";
    PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    std::string sidText;
    std::size_t used = 0;
    AppendSddlSid(static_cast<const BYTE*>(sid), GetLengthSid(sid), sidText, used);
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    SID_NAME_USE use{};
    std::wstring account;
    if (LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use))
        account = (domain[0] != L'\0' ? std::wstring(domain) + L"\\" : std::wstring()) + name + L" ";
    return account + L"(" + WidenAscii(sidText) + L")";
}

std::wstring TimeNow() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return WidenAscii(text);
}

}  // namespace

bool SnapshotCollector::Begin(const SnapshotHeader& header, std::string&) {
    contents = {};
    contents.header = header;
    return true;
}

bool SnapshotCollector::AddObject(SnapshotObject object, std::string&) {
    contents.objects.push_back(std::move(object));
    return true;
}

bool SnapshotCollector::AddUnread(UnreadDirectoryRecord unread, std::string&) {
    contents.unread.push_back(std::move(unread));
    return true;
}

bool SnapshotFileWriter::WriteLine(std::string line, std::string& why) {
    line += "\r\n";
    return file_.Write(line, why);
}

bool SnapshotFileWriter::Begin(const SnapshotHeader& header, std::string& why) {
    objects_ = 0;
    unread_ = 0;
    return file_.Open(target_, why) && WriteLine(HeaderLine(header), why);
}

bool SnapshotFileWriter::AddObject(SnapshotObject object, std::string& why) {
    ++objects_;
    return WriteLine(ObjectLine(object), why);
}

bool SnapshotFileWriter::AddUnread(UnreadDirectoryRecord unread, std::string& why) {
    ++unread_;
    return WriteLine(UnreadLine(unread), why);
}

bool SnapshotFileWriter::Finish(std::string& why) {
    return WriteLine(EndLine(objects_, unread_), why) && file_.Commit(why);
}

SnapshotHeader DescribeThisSystem(std::wstring root, bool devices) {
    SnapshotHeader header;
    header.root = std::move(root);
    header.windows = WindowsVersion();
    header.account = AccountName();
    header.time = TimeNow();
    header.devices = devices;
    return header;
}

SnapshotObject ReadSnapshotObject(const ObjectPlace& place, std::wstring path, std::wstring typeName,
                                  bool opensDevices, bool readSacl) {
    SnapshotObject object;
    object.path = std::move(path);
    object.typeName = std::move(typeName);
    const bool isLink = object.typeName == L"SymbolicLink";
    if (object.typeName == L"Device" && !opensDevices) return object;  // every fact not asked for
    std::string narrowType;
    NarrowPath(object.typeName, narrowType);
    if (ObjectTypeRowOf(narrowType) == kTypeNotOpened && OtherTypeNamed(narrowType) == nullptr) {
        const SnapshotFact none = SnapshotFact::Missing(L"no open service for this type here");
        object.descriptor = object.rights = none;
        if (readSacl) object.sacl = none;
        return object;
    }
    const SecurityFacts facts = ReadSecurityFacts(place, readSacl);
    if (isLink) object.target = TargetFact(facts);
    object.descriptor = DescriptorFact(facts);
    if (readSacl) object.sacl = SaclFact(facts);
    object.rights = RightsFact(facts);
    return object;
}

bool SnapshotSave::Start(std::wstring_view root, const SnapshotOptions& options, SnapshotSink& sink,
                         std::string& why) {
    sink_ = &sink;
    options_ = options;
    readSacls_ = MayReadSacls();
    unreadWritten_ = 0;
    objects_ = 0;
    complete_ = false;
    why_.clear();
    const ResolvedPath resolved = ResolvePath(root);
    if (!resolved.found) {
        why = resolved.problem;
        return false;
    }
    if (resolved.typeName != "Directory") {
        why = VisiblePath(resolved.Path()) + " is a " + resolved.typeName + ", not a directory";
        return false;
    }
    root_ = resolved.Path();
    if (!search_.Start(std::wstring_view(root_), [this](const DirectoryReader& entry, SearchResult& result) {
            Record(entry, result);
            return false;
        })) {
        why = "cannot read " + VisiblePath(root_) + ": " +
              VisiblePath(StatusText(search_.UnreadDirectories().front().status));
        return false;
    }
    if (!sink.Begin(DescribeThisSystem(root_, options.includeDevices), why) ||
        !sink.AddObject(ReadSnapshotObject(ObjectPlace::ByExactPath(root_, kTypeDirectory), root_, L"Directory",
                                           options.includeDevices, readSacls_),
                        why))
        return false;
    objects_ = 1;
    return true;
}

void SnapshotSave::Record(const DirectoryReader& entry, const SearchResult& result) {
    if (Failed()) return;
    const UNICODE_STRING& type = entry.WideTypeName();
    SnapshotObject object =
        ReadSnapshotObject(ObjectPlace::ByEntry(entry), result.exactPath,
                           std::wstring(type.Buffer, type.Length / sizeof(WCHAR)), options_.includeDevices, readSacls_);
    if (sink_->AddObject(std::move(object), why_)) ++objects_;
}

void SnapshotSave::AddNewUnread() {
    const std::vector<UnreadDirectory>& unread = search_.UnreadDirectories();
    for (; unreadWritten_ < unread.size() && !Failed(); ++unreadWritten_)
        sink_->AddUnread({unread[unreadWritten_].exactPath, StatusText(unread[unreadWritten_].status)}, why_);
}

bool SnapshotSave::Step(long maxEntries) {
    if (sink_ == nullptr || complete_ || Failed()) return false;
    std::vector<SearchResult> none;
    const bool more = search_.Step(maxEntries, none);
    AddNewUnread();
    if (Failed()) return false;
    if (more) return true;
    complete_ = sink_->Finish(why_);
    return false;
}
