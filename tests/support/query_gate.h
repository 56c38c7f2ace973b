// Stands in for the handle search's name query and its read of the handle
// list: the handles a test picks, by granted access or by name, and the
// reads if it asks, wait at a gate until the test opens it. The platform's
// queries that never answer, and lists slow to read, cannot be made under Wine.
#pragma once

#include <windows.h>

#include <string>

#include "namespace/holder_search.h"

class QueryGate {
public:
    // Puts the gate in place of the query, closed, and the limits in force.
    explicit QueryGate(QueryTimeLimits limits);
    QueryGate(const QueryGate&) = delete;
    QueryGate& operator=(const QueryGate&) = delete;
    // Opens the gate, waits for every thread of the search to end and puts
    // the platform's query, list read and the default limits back.
    ~QueryGate();

    // Which handles wait: those with this granted access, or this name.
    void HoldAccess(ACCESS_MASK access);
    void HoldName(const std::wstring& name);
    // Each call of a handle list read waits too.
    void HoldListReads();
    void Open();
    // Queries, and list read calls, that have reached the gate while it was closed.
    long Waiting() const;
    long ListReadsWaiting() const;
    // Calls held at the gate that have come back since: the gate opened, or kHoldMs passed.
    long Passed() const;

    static constexpr DWORD kHoldMs = 60000;
};
