// Saving a snapshot: one directory's subtree walked by the search engine,
// each object opened once by its own name in its directory (so that every
// name is reached, whatever characters it holds) and described by what that
// open was granted, its descriptor and, for a link, its target. A save is
// stepped a slice of entries at a time, so that it can show progress and
// stop; its records go to a sink: the file, or memory for a comparison.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "namespace/effective_access.h"
#include "namespace/object_search.h"
#include "snapshot/replacing_file.h"
#include "snapshot/snapshot_format.h"

struct SnapshotOptions {
    // Devices are opened only when asked: some act on an open.
    bool includeDevices = false;
};

// Where a save's records go. A false return, with why, ends the save.
class SnapshotSink {
public:
    virtual ~SnapshotSink() = default;
    virtual bool Begin(const SnapshotHeader& header, std::string& why) = 0;
    virtual bool AddObject(SnapshotObject object, std::string& why) = 0;
    virtual bool AddUnread(UnreadDirectoryRecord unread, std::string& why) = 0;
    // Only a save that read everything finishes.
    virtual bool Finish(std::string& why) = 0;
};

// Keeps the records in memory.
class SnapshotCollector final : public SnapshotSink {
public:
    bool Begin(const SnapshotHeader& header, std::string&) override;
    bool AddObject(SnapshotObject object, std::string&) override;
    bool AddUnread(UnreadDirectoryRecord unread, std::string&) override;
    bool Finish(std::string&) override { return true; }

    SnapshotContents contents;
};

// Writes the file in the format of snapshot_format.h. The target is replaced
// only by Finish: a save that stops or fails leaves it as it was.
class SnapshotFileWriter final : public SnapshotSink {
public:
    explicit SnapshotFileWriter(std::wstring target, ReplacingFile::WriteProc write = ReplacingFile::WriteAll)
        : target_(std::move(target)), file_(write) {}
    bool Begin(const SnapshotHeader& header, std::string& why) override;
    bool AddObject(SnapshotObject object, std::string& why) override;
    bool AddUnread(UnreadDirectoryRecord unread, std::string& why) override;
    bool Finish(std::string& why) override;

private:
    bool WriteLine(std::string line, std::string& why);

    std::wstring target_;
    ReplacingFile file_;
    long objects_ = 0;
    long unread_ = 0;
};

// The header of a save of root made now: Windows' version, the account and the time.
SnapshotHeader DescribeThisSystem(std::wstring root, bool devices);

// One object's line: its facts read through place (see ReadSecurityFacts).
// A device is opened only where opensDevices; a type no row opens is not.
SnapshotObject ReadSnapshotObject(const ObjectPlace& place, std::wstring path, std::wstring typeName,
                                  bool opensDevices, bool readSacl);

class SnapshotSave {
public:
    // Resolves root to the directory it names, spelled as the namespace spells
    // it, and hands the header and the root's own line to sink, which must
    // outlive the save. False with why when root is no directory to read.
    bool Start(std::wstring_view root, const SnapshotOptions& options, SnapshotSink& sink, std::string& why);
    // Reads up to maxEntries more entries; false once the save is complete or failed.
    bool Step(long maxEntries);

    bool Complete() const { return complete_; }
    bool Failed() const { return !why_.empty(); }
    const std::string& Why() const { return why_; }
    const std::wstring& Root() const { return root_; }
    long EntriesRead() const { return search_.EntriesRead(); }
    long Objects() const { return objects_; }
    long UnreadDirectories() const { return static_cast<long>(unreadWritten_); }

private:
    void Record(const DirectoryReader& entry, const SearchResult& result);
    void AddNewUnread();

    ObjectSearch search_;
    SnapshotSink* sink_ = nullptr;
    SnapshotOptions options_;
    bool readSacls_ = false;
    std::wstring root_;
    std::size_t unreadWritten_ = 0;
    long objects_ = 0;
    bool complete_ = false;
    std::string why_;
};
