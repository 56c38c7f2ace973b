#include "namespace/namespace_reader.h"

#include "namespace/directory_walk.h"
#include "namespace/object_opener.h"
#include "namespace/visible_name.h"

namespace {

std::wstring_view ViewOf(const UNICODE_STRING& text) { return {text.Buffer, text.Length / sizeof(WCHAR)}; }

class LiveReader final : public NamespaceReader {
public:
    bool ReadDirectory(std::wstring_view path, const EntryVisitor& visit) override {
        HANDLE handle = nullptr;
        if (OpenObjectByTypeExact(kTypeDirectory, path, 0, false, &handle) != kStatusSuccess) return false;
        DirectoryReader reader;
        reader.Adopt(UniqueNtHandle(handle));
        while (reader.Next()) {
            if (!visit(ViewOf(reader.WideName()), ViewOf(reader.WideTypeName()))) break;
        }
        return true;
    }

    bool ReadLink(std::wstring_view path, std::wstring& target) override {
        HANDLE handle = nullptr;
        if (OpenObjectByTypeExact(kTypeSymbolicLink, path, 0, true, &handle) != kStatusSuccess) return false;
        UniqueNtHandle link(handle);
        return ReadSymbolicLinkTargetExactly(link.get(), target) == kStatusSuccess;
    }
};

}  // namespace

NamespaceReader& LiveNamespace() {
    static LiveReader live;
    return live;
}
