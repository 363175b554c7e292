// One run at a time (see run_lock.h).
#include "run/run_lock.h"

#include "run/run_log.h"

namespace {

// Machine-wide where the system has session namespaces; systems without them
// refuse the prefix, and there the plain name is machine-wide already.
const char kGlobalName[] = "Global\\Zorvane.DefPatch.Run";
const char kLocalName[] = "Zorvane.DefPatch.Run";

HANDLE openMutex()
{
    // Open to every account: a run as SYSTEM and a run as the user at the PC
    // must see the same lock. (Systems without security ignore this.)
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    SECURITY_ATTRIBUTES* security = nullptr;
    if (InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE))
        security = &attributes;
    HANDLE mutex = CreateMutexA(security, FALSE, kGlobalName);
    if (!mutex)
        mutex = CreateMutexA(security, FALSE, kLocalName);
    return mutex;
}

} // namespace

RunLock::RunLock() : mutex_(openMutex())
{
    // Without a lock the run goes on alone, as it did before there was one.
    if (!mutex_)
        return;
    DWORD result = WaitForSingleObject(mutex_, 0);
    if (result == WAIT_TIMEOUT) {
        logLine("waiting for another DefPatch run on this machine to end");
        result = WaitForSingleObject(mutex_, INFINITE);
    }
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

RunLock::~RunLock()
{
    if (held_)
        ReleaseMutex(mutex_);
    if (mutex_)
        CloseHandle(mutex_);
}
