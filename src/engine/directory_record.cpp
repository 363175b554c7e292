// One directory's restore record, kept as a journal (see directory_record.h).
#include "engine/directory_record.h"

#include "run/run_log.h"

namespace {

UpdateRecord::Entry entryOf(const char* name, UpdateRecord::Kind kind, const FileIdentity* original = nullptr)
{
    UpdateRecord::Entry entry{};
    copyText(entry.name, name);
    entry.kind = kind;
    if (original)
        entry.original = *original;
    return entry;
}

bool sameEntry(const UpdateRecord::Entry& a, const UpdateRecord::Entry& b)
{
    return a.kind == b.kind && equalIgnoringAsciiCase(a.name, b.name) &&
           (a.kind != UpdateRecord::Kind::Replaced ||
            (sameBytes(a.original, b.original) && CompareFileTime(&a.original.lastWrite, &b.original.lastWrite) == 0));
}

} // namespace

DirectoryRecord::DirectoryRecord(const char* directory, const UpdateRecord& fresh, bool keepsBackups)
    : named_(recordPath(directory, path_) && backupFolderUsable(directory)), keepsBackups_(keepsBackups),
      onDisk_(false), otherOnDisk_(false), record_(fresh)
{
    record_.count = 0;
    if (!named_)
        return;
    UpdateRecord found;
    switch (readRecord(path_, found)) {
    case RecordState::Missing:
        break;
    case RecordState::Damaged:
    case RecordState::Untrusted:
        otherOnDisk_ = true;
        break;
    case RecordState::Read:
        if (CompareFileTime(&found.updateTime, &fresh.updateTime) == 0) {
            record_ = found;
            onDisk_ = true;
        } else {
            otherOnDisk_ = true;
        }
        break;
    }
}

void DirectoryRecord::retireOther()
{
    if (!otherOnDisk_)
        return;
    otherOnDisk_ = false;
    if (DeleteFileA(path_))
        logLine("%s: retired", path_);
}

bool DirectoryRecord::put(const UpdateRecord::Entry& entry)
{
    const UpdateRecord::Entry* now = record_.find(entry.name);
    if (now && sameEntry(*now, entry))
        return true;
    UpdateRecord next = record_;
    if (!next.put(entry) || !writeRecord(path_, next)) {
        logLine("%s cannot be written", path_);
        return false;
    }
    record_ = next;
    onDisk_ = true;
    otherOnDisk_ = false; // the new record took its place
    return true;
}

bool DirectoryRecord::beforeAdding(const char* name)
{
    if (!onDisk_ && !keepsBackups_) {
        retireOther();
        return true;
    }
    if (!named_)
        return false;
    // Whatever the record says of it already is what was there before this
    // update first touched it.
    return record_.find(name) || put(entryOf(name, UpdateRecord::Kind::Added));
}

bool DirectoryRecord::beforeReplacing(const char* name, const FileIdentity& current, bool copied,
                                      bool alreadyThisUpdates)
{
    if (!onDisk_ && !keepsBackups_) {
        retireOther();
        return true;
    }
    if (!named_)
        return false;
    const UpdateRecord::Entry* entry = record_.find(name);
    if (alreadyThisUpdates || !copied) {
        // Nothing is lost by this change, or nothing can be kept: the record
        // says so, unless it knows already what was there before.
        return entry || put(entryOf(name, UpdateRecord::Kind::NoCopy));
    }
    return put(entryOf(name, UpdateRecord::Kind::Replaced, &current));
}
