// Stands in for the handle search's candidate query: the candidates a test
// picks, by granted access or by name, wait at a gate until the test opens
// it. The platform's queries that never answer cannot be made under Wine.
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
    // the platform's query and the default limits back.
    ~QueryGate();

    // Which candidates wait: those with this granted access, or this name.
    void HoldAccess(ACCESS_MASK access);
    void HoldName(const std::wstring& name);
    void Open();
    // Queries that have reached the gate while it was closed.
    long Waiting() const;
};
