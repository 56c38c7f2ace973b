#include "namespace/native_services.h"

#include <cwchar>

NTSTATUS CountedUnicode::AssignAnsi(const char* text) noexcept {
    Reset();
    ANSI_STRING source;
    RtlInitAnsiString(&source, text);
    NTSTATUS status = RtlAnsiStringToUnicodeString(&text_, &source, TRUE);
    allocated_ = status == kStatusSuccess;
    if (!allocated_) text_ = UNICODE_STRING{};
    return status;
}

void CountedUnicode::Reset() noexcept {
    if (allocated_) RtlFreeUnicodeString(&text_);
    allocated_ = false;
    text_ = UNICODE_STRING{};
}

NTSTATUS CountedAnsi::AssignUnicode(const UNICODE_STRING& text) noexcept {
    Reset();
    NTSTATUS status = RtlUnicodeStringToAnsiString(&text_, &text, TRUE);
    allocated_ = status == kStatusSuccess;
    if (!allocated_) text_ = ANSI_STRING{};
    return status;
}

void CountedAnsi::Reset() noexcept {
    if (allocated_) RtlFreeAnsiString(&text_);
    allocated_ = false;
    text_ = ANSI_STRING{};
}

OBJECT_ATTRIBUTES MakeObjectAttributes(UNICODE_STRING* name, ULONG extraAttributes) {
    OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof(OBJECT_ATTRIBUTES);
    attributes.RootDirectory = nullptr;
    attributes.ObjectName = name;
    attributes.Attributes = kObjCaseInsensitive | extraAttributes;
    attributes.SecurityDescriptor = nullptr;
    attributes.SecurityQualityOfService = nullptr;
    return attributes;
}

NamespaceCallCounts& NamespaceCounters() {
    static NamespaceCallCounts counts{};
    return counts;
}

NTSTATUS ConvertToAnsi(const UNICODE_STRING& text, std::string& out) {
    // A double-byte code page needs at most two bytes per UTF-16 unit.
    const ULONG sourceBytes = text.Length;
    out.resize(sourceBytes);
    ULONG written = 0;
    NTSTATUS status = RtlUnicodeToMultiByteN(out.data(), static_cast<ULONG>(out.size()), &written,
                                             text.Buffer, sourceBytes);
    if (status != kStatusSuccess) {
        out.clear();
        return status;
    }
    out.resize(written);
    return status;
}

bool IsExactAnsi(const UNICODE_STRING& text, const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    ULONG written = 0;
    if (RtlMultiByteToUnicodeN(wide.data(), static_cast<ULONG>(wide.size() * sizeof(WCHAR)), &written, ansi.data(),
                               static_cast<ULONG>(ansi.size())) != kStatusSuccess)
        return false;
    return written == text.Length && std::wmemcmp(wide.data(), text.Buffer, written / sizeof(WCHAR)) == 0;
}
