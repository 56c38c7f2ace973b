#include "snapshot/snapshot_compare.h"

#include <algorithm>

#include "common/count_text.h"
#include "namespace/access_names.h"
#include "namespace/visible_name.h"

namespace {

constexpr std::size_t kNamedUnread = 5;

// Sorted by path; a path listed twice (a directory that changed while it was
// read can list an entry twice) counts once, as first listed.
void SortByPath(std::vector<SnapshotObject>& objects) {
    std::stable_sort(objects.begin(), objects.end(),
                     [](const SnapshotObject& a, const SnapshotObject& b) { return a.path < b.path; });
    objects.erase(std::unique(objects.begin(), objects.end(),
                              [](const SnapshotObject& a, const SnapshotObject& b) { return a.path == b.path; }),
                  objects.end());
}

// The deeper of two paths where one holds the other; false where neither does.
bool DeeperOf(std::wstring_view a, std::wstring_view b, std::wstring& deeper) {
    if (PathIsWithin(a, b)) {
        deeper = a;
        return true;
    }
    if (PathIsWithin(b, a)) {
        deeper = b;
        return true;
    }
    return false;
}

std::wstring Shown(const SnapshotFact& fact) {
    switch (fact.state) {
    case SnapshotFact::State::Read:
        return fact.text;
    case SnapshotFact::State::Failed:
        return L"(not read: " + fact.text + L")";
    case SnapshotFact::State::NotAsked:
        break;
    }
    return L"(not asked for)";
}

std::wstring ShownRights(const SnapshotFact& fact, const std::wstring& typeName) {
    ACCESS_MASK mask = 0;
    if (fact.state != SnapshotFact::State::Read || !ParseRights(fact.text, mask)) return Shown(fact);
    return WidenPath(DescribeAccess(mask, VisibleName(typeName)));
}

// Compared where both asked for the fact and at least one read it: two
// reasons for not reading say nothing of the object.
bool Compared(const SnapshotFact& a, const SnapshotFact& b) {
    using State = SnapshotFact::State;
    return a.state != State::NotAsked && b.state != State::NotAsked &&
           !(a.state == State::Failed && b.state == State::Failed);
}

bool Differs(const SnapshotFact& a, const SnapshotFact& b) { return Compared(a, b) && !(a == b); }

// Whether a directory above path (not path itself) is one either side could not read.
bool BelowUnread(const std::wstring& path, const std::vector<std::wstring>& unread) {
    if (unread.empty()) return false;
    std::wstring parent = path;
    for (;;) {
        const std::size_t cut = parent.find_last_of(L'\\');
        if (cut == std::wstring::npos || parent.size() == 1) return false;
        parent.resize(cut == 0 ? 1 : cut);
        if (std::binary_search(unread.begin(), unread.end(), parent)) return true;
    }
}

class Merge {
public:
    Merge(SnapshotComparison& result, const std::vector<std::wstring>& unread) : result_(result), unread_(unread) {}

    void Added(const SnapshotObject& object) { Report(ChangeKind::Added, object, L"", object.typeName); }
    void Removed(const SnapshotObject& object) { Report(ChangeKind::Removed, object, object.typeName, L""); }

    void Both(const SnapshotObject& older, const SnapshotObject& newer) {
        if (older.typeName != newer.typeName) {
            Report(ChangeKind::TypeChanged, newer, older.typeName, newer.typeName);
            return;
        }
        if (Differs(older.target, newer.target))
            Report(ChangeKind::TargetChanged, newer, Shown(older.target), Shown(newer.target));
        if (Differs(older.descriptor, newer.descriptor) || Differs(older.sacl, newer.sacl)) {
            std::wstring before = Shown(older.descriptor);
            std::wstring after = Shown(newer.descriptor);
            if (Compared(older.sacl, newer.sacl)) {
                before += L" " + Shown(older.sacl);
                after += L" " + Shown(newer.sacl);
            }
            Report(ChangeKind::DescriptorChanged, newer, before, after);
        }
        if (Differs(older.rights, newer.rights))
            Report(ChangeKind::RightsChanged, newer, ShownRights(older.rights, older.typeName),
                   ShownRights(newer.rights, newer.typeName));
    }

    bool Skipped(const SnapshotObject& object) const { return BelowUnread(object.path, unread_); }

private:
    void Report(ChangeKind kind, const SnapshotObject& object, std::wstring before, std::wstring after) {
        result_.differences.push_back({kind, object.path, object.typeName, std::move(before), std::move(after)});
    }

    SnapshotComparison& result_;
    const std::vector<std::wstring>& unread_;
};

std::vector<std::wstring> UnreadWithin(const SnapshotContents& older, const SnapshotContents& newer,
                                       const std::wstring& scope) {
    std::vector<std::wstring> unread;
    for (const SnapshotContents* side : {&older, &newer}) {
        for (const UnreadDirectoryRecord& record : side->unread) {
            if (PathIsWithin(record.path, scope) || PathIsWithin(scope, record.path)) unread.push_back(record.path);
        }
    }
    std::sort(unread.begin(), unread.end());
    unread.erase(std::unique(unread.begin(), unread.end()), unread.end());
    return unread;
}

std::string UnreadNote(const std::vector<std::wstring>& unread) {
    std::string note = FormatCount(static_cast<long long>(unread.size())) +
                       (unread.size() == 1 ? " directory" : " directories") +
                       " could not be read in one snapshot or both; nothing below is compared: ";
    for (std::size_t i = 0; i < unread.size() && i < kNamedUnread; ++i)
        note += (i == 0 ? "" : ", ") + VisiblePath(unread[i]);
    if (unread.size() > kNamedUnread)
        note += " and " + FormatCount(static_cast<long long>(unread.size() - kNamedUnread)) + " more";
    return note + ".";
}

bool HoldsDevices(const SnapshotContents& contents) {
    return std::any_of(contents.objects.begin(), contents.objects.end(),
                       [](const SnapshotObject& object) { return object.typeName == L"Device"; });
}

}  // namespace

const char* ChangeKindName(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::Added: return "added";
    case ChangeKind::Removed: return "removed";
    case ChangeKind::TypeChanged: return "type changed";
    case ChangeKind::TargetChanged: return "target changed";
    case ChangeKind::DescriptorChanged: return "descriptor changed";
    case ChangeKind::RightsChanged: return "rights changed";
    }
    return "";
}

SnapshotComparison CompareSnapshots(SnapshotContents& older, SnapshotContents& newer, std::wstring_view within) {
    SnapshotComparison result;
    const std::wstring& oldRoot = older.header.root;
    const std::wstring& newRoot = newer.header.root;
    if (!DeeperOf(oldRoot, newRoot, result.scope)) {
        result.notes.push_back("The snapshots share no part: the old one holds " + VisiblePath(oldRoot) +
                               ", the new one " + VisiblePath(newRoot) + ".");
        return result;
    }
    const std::wstring shared = result.scope;
    if (!within.empty() && !DeeperOf(shared, within, result.scope)) {
        result.notes.push_back("The snapshots hold nothing of " + VisiblePath(within) + ".");
        return result;
    }
    result.shared = true;
    if (oldRoot != newRoot)
        result.notes.push_back("The old snapshot holds " + VisiblePath(oldRoot) + ", the new one " +
                               VisiblePath(newRoot) + ": only " + VisiblePath(result.scope) + " is compared.");
    else if (result.scope != oldRoot)
        result.notes.push_back("Only " + VisiblePath(result.scope) + " is compared.");

    SortByPath(older.objects);
    SortByPath(newer.objects);
    const std::vector<std::wstring> unread = UnreadWithin(older, newer, result.scope);
    if (!unread.empty()) result.notes.push_back(UnreadNote(unread));
    if (!(older.header.devices && newer.header.devices) && HoldsDevices(older) && HoldsDevices(newer))
        result.notes.push_back("Devices were not opened for one snapshot or both: their descriptors and rights "
                               "are not compared.");

    Merge merge(result, unread);
    auto a = older.objects.begin();
    auto b = newer.objects.begin();
    const auto inScope = [&](const SnapshotObject& object) {
        return PathIsWithin(object.path, result.scope) && !merge.Skipped(object);
    };
    while (a != older.objects.end() || b != newer.objects.end()) {
        if (b == newer.objects.end() || (a != older.objects.end() && a->path < b->path)) {
            if (inScope(*a)) merge.Removed(*a);
            ++a;
        } else if (a == older.objects.end() || b->path < a->path) {
            if (inScope(*b)) merge.Added(*b);
            ++b;
        } else {
            if (inScope(*a)) merge.Both(*a, *b);
            ++a;
            ++b;
        }
    }
    return result;
}

void SnapshotComparer::Start(Request request) {
    request_ = std::move(request);
    error_.clear();
    result_ = {};
    older_ = {};
    live_.contents = {};
    stage_ = Stage::ReadingOld;
    loaded_ = false;
}

bool SnapshotComparer::Fail(std::string error) {
    error_ = std::move(error);
    stage_ = Stage::Done;
    older_ = {};
    live_.contents = {};
    return false;
}

bool SnapshotComparer::Load(const std::wstring& file) {
    std::string text;
    std::string why;
    if (!ReadSnapshotFile(file, text, why)) return Fail(why);
    parser_.Reset(std::move(text));
    loaded_ = true;
    return true;
}

long SnapshotComparer::Progress() const {
    return stage_ == Stage::ReadingLive ? save_.EntriesRead() : parser_.LinesRead();
}

bool SnapshotComparer::BeginNew() {
    if (!request_.newFile.empty()) {
        stage_ = Stage::ReadingNew;
        loaded_ = false;
        return true;
    }
    // The live namespace is read over the part the old snapshot holds.
    const std::wstring& oldRoot = older_.header.root;
    std::wstring root = oldRoot;
    if (!request_.within.empty() && !DeeperOf(oldRoot, request_.within, root))
        return Fail("the old snapshot holds " + VisiblePath(oldRoot) + ", nothing of " + VisiblePath(request_.within));
    stage_ = Stage::ReadingLive;
    std::string why;
    if (!save_.Start(root, request_.live, live_, why)) return Fail("the live namespace: " + why);
    return true;
}

bool SnapshotComparer::Compare() {
    SnapshotContents& newer = request_.newFile.empty() ? live_.contents : parser_.Contents();
    // The live namespace is read from its own spelling of the path asked for.
    const std::wstring within = request_.newFile.empty() ? save_.Root() : request_.within;
    result_ = CompareSnapshots(older_, newer, within);
    older_ = {};
    newer = {};
    stage_ = Stage::Done;
    return false;
}

bool SnapshotComparer::Step(long maxUnits) {
    switch (stage_) {
    case Stage::ReadingOld:
        // The file is read by the first step, off the window's thread where a task runs it.
        if (!loaded_) return Load(request_.oldFile);
        if (parser_.Step(maxUnits)) return true;
        if (parser_.Refused()) return Fail(VisiblePath(request_.oldFile) + ": " + parser_.Error());
        older_ = std::move(parser_.Contents());
        return BeginNew();
    case Stage::ReadingNew:
        if (!loaded_) return Load(request_.newFile);
        if (parser_.Step(maxUnits)) return true;
        if (parser_.Refused()) return Fail(VisiblePath(request_.newFile) + ": " + parser_.Error());
        return Compare();
    case Stage::ReadingLive:
        if (save_.Step(maxUnits)) return true;
        if (save_.Failed()) return Fail("the live namespace: " + save_.Why());
        return Compare();
    case Stage::Done:
        break;
    }
    return false;
}
