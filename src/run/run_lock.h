// One run at a time on this machine: a run that finds another DefPatch run
// still going waits until that one has ended, then goes on as if it had been
// started then. Two runs would otherwise share the temporary directory, and
// place, unpack and delete the same files there under each other.
#pragma once

#include <windows.h>

class RunLock {
public:
    // Waits for any other run of this machine to end, saying so in the log
    // first. A run that died (killed by a deployment tool) never blocks this
    // one: the system hands its lock on as abandoned.
    RunLock();
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};
