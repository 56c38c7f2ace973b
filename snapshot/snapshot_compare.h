// Comparing two snapshots, or a snapshot with the live namespace: what was
// added, removed, re-made with another type, re-pointed, re-permissioned, or
// grants this account other rights. Paths match exactly as spelled.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "snapshot/snapshot_format.h"
#include "snapshot/snapshot_save.h"

enum class ChangeKind { Added, Removed, TypeChanged, TargetChanged, DescriptorChanged, RightsChanged };

// "added", "removed", "type changed", "target changed", "descriptor changed", "rights changed".
const char* ChangeKindName(ChangeKind kind);

struct SnapshotDifference {
    ChangeKind kind;
    std::wstring path;
    std::wstring typeName;  // the new object's; the old one's where removed
    std::wstring oldValue;  // as shown: a type, target, SDDL or rights by name
    std::wstring newValue;
};

struct SnapshotComparison {
    bool shared = false;  // the two hold a part in common, which was compared
    std::wstring scope;   // that part
    std::vector<SnapshotDifference> differences;  // by path, then kind
    std::vector<std::string> notes;  // what was left out of the comparison, and why
};

// Compares over the part both hold (and only within `within`, when given).
// A fact is compared where both asked for it and one of them read it; an
// object whose type changed is reported for that alone; nothing below a
// directory either could not read is compared. Sorts both sides by path.
SnapshotComparison CompareSnapshots(SnapshotContents& older, SnapshotContents& newer, std::wstring_view within = {});

// A comparison run a slice at a time: the old file is read, then the new
// file or the live namespace, then both are compared.
class SnapshotComparer {
public:
    struct Request {
        std::wstring oldFile;
        std::wstring newFile;  // empty: the live namespace
        std::wstring within;   // empty: all the two hold in common
        SnapshotOptions live;  // how the live namespace is read
    };
    enum class Stage { ReadingOld, ReadingNew, ReadingLive, Done };

    void Start(Request request);
    // Reads up to maxUnits more lines or entries; false once compared or failed.
    bool Step(long maxUnits);

    Stage CurrentStage() const { return stage_; }
    long Progress() const;  // lines read, or entries walked, in the current stage
    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    const SnapshotComparison& Result() const { return result_; }

private:
    bool Fail(std::string error);
    bool Load(const std::wstring& file);
    bool BeginNew();
    bool Compare();

    Request request_;
    Stage stage_ = Stage::Done;
    bool loaded_ = false;  // the current stage's file is in the parser
    SnapshotParser parser_;
    SnapshotContents older_;
    SnapshotCollector live_;
    SnapshotSave save_;
    std::wstring liveRoot_;
    std::string error_;
    SnapshotComparison result_;
};
