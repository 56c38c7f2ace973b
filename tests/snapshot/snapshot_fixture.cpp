#include "snapshot_fixture.h"

#include "common/unique_owner.h"
#include "namespace/visible_name.h"

std::string SaveToFile(const std::string& root, const std::wstring& file, ReplacingFile::WriteProc write) {
    SnapshotFileWriter writer(file, write);
    SnapshotSave save;
    std::string why;
    if (!save.Start(WidenPath(root), {}, writer, why)) return why;
    while (save.Step(1000)) {
    }
    return save.Complete() ? std::string() : save.Why();
}

ComparisonRun CompareToEnd(const std::wstring& oldFile, const std::wstring& newFile, std::wstring within) {
    SnapshotComparer comparer;
    comparer.Start({oldFile, newFile, std::move(within), {}});
    while (comparer.Step(1000)) {
    }
    return {comparer.Error(), comparer.Result()};
}

std::multiset<SeenDifference> Seen(const SnapshotComparison& comparison) {
    std::multiset<SeenDifference> seen;
    for (const SnapshotDifference& difference : comparison.differences)
        seen.insert({ChangeKindName(difference.kind), VisiblePath(difference.path), VisiblePath(difference.oldValue),
                     VisiblePath(difference.newValue)});
    return seen;
}
