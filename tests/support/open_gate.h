// Stands in for the opens that Find Accessible watches: opens of a path the
// test holds wait at a gate until the test opens it, then open for real; every
// open is counted by its type's row. Opens that never answer, or take
// seconds in a driver, cannot be made under Wine.
#pragma once

#include <windows.h>

#include <string>

class OpenGate {
public:
    // Puts the gate in place of the open, closed, with the limit after which
    // an open counts as not answering.
    explicit OpenGate(DWORD notAnsweringAfterMs);
    OpenGate(const OpenGate&) = delete;
    OpenGate& operator=(const OpenGate&) = delete;
    // Opens the gate, waits for every opener's thread to end and puts the
    // platform's open and the default limits back.
    ~OpenGate();

    void Hold(const std::string& path);
    void Open();
    // Opens that have reached the gate while it was closed.
    long Waiting() const;
    // Waits, dispatching nothing, until count opens have reached the gate; false after two minutes.
    bool WaitForWaiting(long count) const;
    // Opens made, of objects of the type of a row of the type table.
    long OpensOf(int typeIndex) const;
};
