// What an object is and holds, by the type its directory lists it as: the
// figures of its type, and the facts that the type's own queries give
// (sections, timers, completion ports, jobs, keys, devices, directories,
// links and the object types themselves), as label and value lines.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "namespace/directory_walk.h"
#include "namespace/native_services.h"
#include "namespace/type_information.h"

// One line of facts, or a heading over the lines that follow it.
struct FactLine {
    std::string label;
    std::string value;
    bool heading = false;
};

// Shown where a query failed; the status follows in parentheses.
inline constexpr char kNotAvailable[] = "not available";

struct TypeFacts {
    bool located = false;         // false: nothing at the path is listed or opens
    std::string typeName;         // as its directory lists it, or as it opened
    std::vector<FactLine> lines;  // all lines but a directory's counts
    UniqueNtHandle directory;     // a directory to count, with DIRECTORY_QUERY; else empty
};

// Learns the type of the object path names, opens the object with its type's
// own open service, asking for the type's query right and else for what the
// object grants, and reads what the type's queries give. The type comes from
// the open services asked for no access, the object's own answering (with
// the object, or with a refusal where the system refuses an open that asks
// for nothing) where every other type's reports a mismatch; an object no
// service here opens, and a link that refuses, are looked up in their
// directory, read up to the entry. A path no directory lists (a key below
// \REGISTRY) takes the row that opens it.
TypeFacts GatherTypeFacts(const ObjectName& path);

// The opens GatherTypeFacts learns a type by: OpenObjectExactlyAs, unless a
// test puts in one that answers as another system does.
extern RowOpenProc TypeProbeOpens;

// The figures of a type as lines: counts with their peaks, valid access,
// generic mapping, pool type and handle counting.
std::vector<FactLine> DescribeTypeFigures(const ObjectTypeFigures& figures, std::string_view typeName);

// Counts one directory's entries, and how many are directories and links, a
// slice at a time, so that a huge directory does not hold up the window.
class DirectoryCount {
public:
    void Start(UniqueNtHandle directory);
    void Stop();
    // Reads up to maxEntries more, and stops early once budgetMs have passed
    // (each entry's query costs more the further it lies in the directory);
    // false once every entry is counted.
    bool Step(long maxEntries, DWORD budgetMs = INFINITE);
    bool Running() const { return running_; }
    // "Entries", "Directories" and "Symbolic links"; "so far" while counting.
    std::vector<FactLine> Lines() const;

private:
    DirectoryReader reader_;
    long entries_ = 0;
    long directories_ = 0;
    long links_ = 0;
    bool running_ = false;
};
