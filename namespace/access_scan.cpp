#include "namespace/access_scan.h"

#include <cstring>

#include "namespace/holder_search.h"
#include "namespace/object_opener.h"
#include "namespace/other_type_open.h"
#include "namespace/type_information.h"

namespace {

constexpr ACCESS_MASK kSpecificRights = 0x0000FFFF;
constexpr ACCESS_MASK kDelete = 0x00010000;

}  // namespace

ACCESS_MASK ModifyRightsOf(const GENERIC_MAPPING& mapping) { return mapping.GenericWrite & kSpecificRights; }

ACCESS_MASK WantedRights(ChangeRight right, const GENERIC_MAPPING& mapping) {
    switch (right) {
    case ChangeRight::Any:
        return ModifyRightsOf(mapping) | kDelete | kWriteDac | kWriteOwner;
    case ChangeRight::Modify:
        return ModifyRightsOf(mapping);
    case ChangeRight::Delete:
        return kDelete;
    case ChangeRight::WriteDac:
        return kWriteDac;
    case ChangeRight::WriteOwner:
        return kWriteOwner;
    }
    return 0;
}

const GENERIC_MAPPING& AccessScan::MappingOf(const std::string& typeName, HANDLE object) {
    for (const TypeRights& known : types_) {
        if (known.typeName == typeName) return known.mapping;
    }
    // A type the object manager does not describe maps generic rights to nothing of its own.
    ObjectTypeFigures figures;
    GENERIC_MAPPING mapping{};
    if (QueryObjectTypeFigures(object, figures) == kStatusSuccess) mapping = figures.genericMapping;
    types_.push_back({typeName, mapping});
    return types_.back().mapping;
}

// What an open that answered says of its candidate: true when it grants a
// wanted right. One that did not open the object is counted.
bool AccessScan::OpenGrants(SearchResult& candidate, NTSTATUS status, HANDLE object) {
    if (status == kStatusSuccess && QueryGrantedAccess(object, candidate.granted) == kStatusSuccess)
        return (candidate.granted & WantedRights(right_, MappingOf(candidate.typeName, object))) != 0;
    ++unopened_;
    return false;
}

// What a watched open says of its candidate: true when it grants a wanted right.
bool AccessScan::Grants(SearchResult& candidate, WatchedOpen& open) {
    switch (open.result) {
    case WatchedOpenResult::Answered:
        return OpenGrants(candidate, open.status, open.handle.get());
    case WatchedOpenResult::NotAnswering:
        notAnswering_.push_back(candidate.path);
        return false;
    case WatchedOpenResult::Stopped:
        stopped_ = true;
        return false;
    case WatchedOpenResult::NoThread:
        break;
    }
    ++unopened_;
    return false;
}

void AccessScan::Test(std::vector<SearchResult>& candidates) {
    opens_.clear();
    openedFrom_.clear();
    std::vector<bool> kept(candidates.size(), false);
    for (std::size_t i = 0; i < candidates.size() && !stopped_; ++i) {
        SearchResult& candidate = candidates[i];
        const int row = ObjectTypeRowOf(candidate.typeName);
        if (row == kTypeDevice && !includeDevices_) {
            ++devicesPassedOver_;
        } else if (row == kTypeNotOpened) {
            // A type with a service of its own opens here: no driver is asked.
            const OtherType* other = OtherTypeNamed(candidate.typeName);
            HANDLE handle = nullptr;
            const NTSTATUS status = other != nullptr ? OpenAsOtherType(*other, ObjectName("", &candidate.exactPath),
                                                                       MAXIMUM_ALLOWED, &handle)
                                                     : kStatusObjectTypeMismatch;
            const UniqueNtHandle opened(handle);
            kept[i] = OpenGrants(candidate, status, opened.get());
        } else {
            // By the exact path, which reaches names no ANSI path carries.
            opens_.emplace_back(row, &candidate.exactPath, MAXIMUM_ALLOWED);
            openedFrom_.push_back(i);
        }
    }
    if (!opens_.empty()) opener_.OpenAll(opens_, QueryLimits.notAnsweringAfterMs, stopEvent_);
    for (std::size_t j = 0; j < opens_.size(); ++j) {
        kept[openedFrom_[j]] = Grants(candidates[openedFrom_[j]], opens_[j]);
        opens_[j].handle.reset();
    }
    std::size_t keep = 0;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (!kept[i]) continue;
        if (keep != i) candidates[keep] = std::move(candidates[i]);
        ++keep;
    }
    candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(keep), candidates.end());
}
