// One run at a time on this machine: a run that finds another DefPatch run
// still going waits until that one has ended, then goes on as if it had been
// started then. Two runs would otherwise change the same definition files and
// records under each other.
//
// The lock is the file "DefPatch.lock" in the Windows directory, held open,
// shared with readers only, for as long as the run goes on. An ordinary user
// can create nothing in the Windows directory, and the file gives access to
// administrators and SYSTEM only: no such account can take the lock first,
// hold it, or change its access, so nothing it does makes a run wait or go on
// without the lock. A run that is not an administrator's (it cannot open that
// file) takes a lock of its own in its temporary directory: it can change
// nothing that an administrator's run changes. The system closes a run's
// handle when the run ends, however it ends, so a killed run's lock is free
// at once.
#pragma once

#include <windows.h>

class RunLock {
public:
    // Takes the lock, waiting at most `waitSeconds` for another run to end;
    // says in the log that it waits, and when it gives up.
    explicit RunLock(unsigned long waitSeconds);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    bool held() const { return file_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};
