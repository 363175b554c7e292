// Access for administrators and SYSTEM (see access.h). The descriptors are
// built once, in the program's own storage, from the well-known SIDs.
#include "environment/access.h"

#include "run/handles.h"

namespace {

struct Sid {
    BYTE bytes[SECURITY_MAX_SID_SIZE];
    PSID get() { return bytes; }
};

bool wellKnown(WELL_KNOWN_SID_TYPE type, Sid& sid)
{
    DWORD size = sizeof sid.bytes;
    return CreateWellKnownSid(type, nullptr, sid.bytes, &size) != FALSE;
}

struct Descriptor {
    bool built = false;
    bool usable = false;
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;
    alignas(DWORD) BYTE acl[256];
};

Descriptor descriptors[3];

// A protected DACL (nothing inherited from the folder above): full control for
// Administrators and SYSTEM, read for Users on the log, and for a folder all of
// it passed on to what it holds.
bool build(Protection kind, Descriptor& d)
{
    Sid administrators, system, users;
    const DWORD inherit = kind == Protection::Folder ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
    auto* acl = reinterpret_cast<PACL>(d.acl);
    if (!wellKnown(WinBuiltinAdministratorsSid, administrators) || !wellKnown(WinLocalSystemSid, system) ||
        !wellKnown(WinBuiltinUsersSid, users) || !InitializeAcl(acl, sizeof d.acl, ACL_REVISION) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, administrators.get()) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, system.get()) ||
        (kind == Protection::Log && !AddAccessAllowedAceEx(acl, ACL_REVISION, 0, FILE_GENERIC_READ, users.get())) ||
        !InitializeSecurityDescriptor(&d.descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&d.descriptor, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&d.descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return false;
    d.attributes = SECURITY_ATTRIBUTES{sizeof d.attributes, &d.descriptor, FALSE};
    return true;
}

Descriptor* descriptorFor(Protection kind)
{
    Descriptor& d = descriptors[static_cast<int>(kind)];
    if (!d.built) {
        d.built = true;
        d.usable = runIsAdministrators() && build(kind, d);
    }
    return d.usable ? &d : nullptr;
}

// The user the run's token belongs to.
bool tokenUser(Sid& sid)
{
    FileHandle token; // a kernel handle, closed the same way
    HANDLE handle;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &handle))
        return false;
    token.reset(handle);
    alignas(DWORD) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size) &&
           CopySid(sizeof sid.bytes, sid.bytes, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

} // namespace

bool runIsAdministrators()
{
    static int known = -1;
    if (known < 0) {
        Sid administrators;
        BOOL member = FALSE;
        known = wellKnown(WinBuiltinAdministratorsSid, administrators) &&
                CheckTokenMembership(nullptr, administrators.get(), &member) && member;
    }
    return known == 1;
}

SECURITY_ATTRIBUTES* protectedAccess(Protection kind)
{
    Descriptor* d = descriptorFor(kind);
    return d ? &d->attributes : nullptr;
}

bool protect(const char* path, Protection kind)
{
    Descriptor* d = descriptorFor(kind);
    return d && SetFileSecurityA(path, DACL_SECURITY_INFORMATION, &d->descriptor);
}

bool ownedByAdministrators(const char* path)
{
    alignas(DWORD) BYTE buffer[512];
    DWORD needed = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (isReparsePoint(path))
        return false;
    if (!GetFileSecurityA(path, OWNER_SECURITY_INFORMATION, buffer, sizeof buffer, &needed)) {
        // A volume that keeps no security has no owner to tell.
        const DWORD error = GetLastError();
        return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
    }
    if (!GetSecurityDescriptorOwner(buffer, &owner, &defaulted))
        return false;
    if (owner == nullptr)
        return true;
    Sid user;
    return IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid) ||
           (runIsAdministrators() && tokenUser(user) && EqualSid(owner, user.get()));
}

bool isReparsePoint(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}
