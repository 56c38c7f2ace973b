// Finding the objects this account may change: each entry a search reads is
// opened by its listed type with MAXIMUM_ALLOWED, as the system grants it, and
// is a result when what it was granted holds a right that changes the object.
// Each open is watched: one that has not answered within the Handles page's
// limit (QueryLimits.notAnsweringAfterMs) is named as not answering and the
// scan goes on. Devices are opened only when asked: some act on an open.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "namespace/object_search.h"
#include "namespace/watched_open.h"

// The rights a scan looks for.
enum class ChangeRight { Any, Modify, Delete, WriteDac, WriteOwner };

struct ChangeRightChoice {
    ChangeRight right;
    const char* title;
};
inline constexpr ChangeRightChoice kChangeRightChoices[] = {
    {ChangeRight::Any, "Any right that changes the object"},
    {ChangeRight::Modify, "Modify (the rights its type gives to change it)"},
    {ChangeRight::Delete, "Delete"},
    {ChangeRight::WriteDac, "Change permissions (WRITE_DAC)"},
    {ChangeRight::WriteOwner, "Change owner (WRITE_OWNER)"},
};

// The rights of a type that change its objects: the type's own rights that
// generic write maps to (reading and waiting rights aside).
ACCESS_MASK ModifyRightsOf(const GENERIC_MAPPING& mapping);

// The rights a choice stands for, for a type with this mapping.
ACCESS_MASK WantedRights(ChangeRight right, const GENERIC_MAPPING& mapping);

// The test a search runs on the entries of each step, on one thread at a
// time. Every handle that answers is closed before it returns; it remembers
// each type's mapping as it meets the type.
class AccessScan {
public:
    explicit AccessScan(ChangeRight right = ChangeRight::Any, bool includeDevices = false)
        : right_(right), includeDevices_(includeDevices) {}

    // The event (manual-reset) that ends the wait for an open, and the scan: a search's stop.
    void StopWith(HANDLE stopEvent) { stopEvent_ = stopEvent; }

    // Keeps the candidates whose objects grant a wanted right, each with
    // what it was granted. An entry that cannot be opened at all is counted,
    // as are devices passed over and opens that do not answer.
    void Test(std::vector<SearchResult>& candidates);
    SearchBatchTest AsSearchTest() {
        return [this](std::vector<SearchResult>& candidates) { Test(candidates); };
    }
    long Unopened() const { return unopened_; }
    long DevicesPassedOver() const { return devicesPassedOver_; }
    // The paths of the objects whose opens did not answer, in the order met.
    const std::vector<std::string>& NotAnswering() const { return notAnswering_; }

private:
    struct TypeRights {
        std::string typeName;
        GENERIC_MAPPING mapping;
    };
    const GENERIC_MAPPING& MappingOf(const std::string& typeName, HANDLE object);
    bool Grants(SearchResult& candidate, WatchedOpen& open);
    bool OpenGrants(SearchResult& candidate, NTSTATUS status, HANDLE object);

    ChangeRight right_;
    bool includeDevices_;
    HANDLE stopEvent_ = nullptr;
    bool stopped_ = false;  // the stop came: nothing more is opened
    long unopened_ = 0;
    long devicesPassedOver_ = 0;
    std::vector<std::string> notAnswering_;
    std::vector<TypeRights> types_;
    WatchedOpener opener_;
    std::vector<WatchedOpen> opens_;       // a step's opens
    std::vector<std::size_t> openedFrom_;  // the candidate of each
};
