// Stand-ins for bcrypt.dll, for the rows on the system's CNG, built as
// bin/cng/VARIANT/bcrypt.dll with the functions the library calls:
//   vista    CNG as Windows Vista has it, in the system directory: a hash
//            keeps its state in an object the caller provides (from Windows 7
//            on, CNG takes one of its own when given none), and its handle
//            points into that object. The work is done by Wine's own CNG,
//            loaded from Wine's folder of DLLs (a copy under another name
//            would lack the GnuTLS part that does RSA).
//   planted  a bcrypt.dll left beside DefPatch.exe: it checks nothing, and
//            once loaded says so in a file beside itself.
#include <windows.h>
#include <bcrypt.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000D);
constexpr NTSTATUS kBufferTooSmall = static_cast<NTSTATUS>(0xC0000023);
constexpr NTSTATUS kNotSupported = static_cast<NTSTATUS>(0xC00000BB);

#ifdef CNG_PLANTED

template <typename Function, typename... Arguments>
NTSTATUS call(const char*, Arguments...)
{
    return kNotSupported;
}

#else

HMODULE wineCng;

template <typename Function, typename... Arguments>
NTSTATUS call(const char* name, Arguments... arguments)
{
    // Debian's Wine; it loads as a module of its own, beside this one.
    if (wineCng == nullptr)
        wineCng = LoadLibraryA("Z:\\usr\\lib\\i386-linux-gnu\\wine\\i386-windows\\bcrypt.dll");
    if (wineCng == nullptr || wineCng == reinterpret_cast<HMODULE>(&__ImageBase)) // never itself again
        return kNotSupported;
    const auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(wineCng, name)));
    return function != nullptr ? function(arguments...) : kNotSupported;
}

#endif

#define CNG(function, ...) call<decltype(&function)>(#function, __VA_ARGS__)

// The hash handle of Wine's CNG, kept in the caller's object as Vista's CNG
// keeps its state there.
BCRYPT_HASH_HANDLE inner(BCRYPT_HASH_HANDLE hash)
{
    return *static_cast<BCRYPT_HASH_HANDLE*>(hash);
}

} // namespace

#ifdef CNG_PLANTED
BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH];
        const DWORD length = GetModuleFileNameA(self, path, MAX_PATH - 40);
        if (length > 0 && length < MAX_PATH - 40) {
            lstrcpyA(path + length, " was loaded");
            HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            CloseHandle(file);
        }
    }
    return TRUE;
}
#endif

extern "C" {

NTSTATUS WINAPI BCryptOpenAlgorithmProvider(BCRYPT_ALG_HANDLE* algorithm, LPCWSTR id, LPCWSTR implementation,
                                            ULONG flags)
{
    return CNG(BCryptOpenAlgorithmProvider, algorithm, id, implementation, flags);
}

NTSTATUS WINAPI BCryptCloseAlgorithmProvider(BCRYPT_ALG_HANDLE algorithm, ULONG flags)
{
    return CNG(BCryptCloseAlgorithmProvider, algorithm, flags);
}

NTSTATUS WINAPI BCryptGetProperty(BCRYPT_HANDLE object, LPCWSTR property, PUCHAR output, ULONG length, ULONG* got,
                                  ULONG flags)
{
    return CNG(BCryptGetProperty, object, property, output, length, got, flags);
}

NTSTATUS WINAPI BCryptImportKeyPair(BCRYPT_ALG_HANDLE algorithm, BCRYPT_KEY_HANDLE importKey, LPCWSTR type,
                                    BCRYPT_KEY_HANDLE* key, PUCHAR input, ULONG length, ULONG flags)
{
    return CNG(BCryptImportKeyPair, algorithm, importKey, type, key, input, length, flags);
}

NTSTATUS WINAPI BCryptDestroyKey(BCRYPT_KEY_HANDLE key)
{
    return CNG(BCryptDestroyKey, key);
}

NTSTATUS WINAPI BCryptVerifySignature(BCRYPT_KEY_HANDLE key, void* padding, PUCHAR hash, ULONG hashLength,
                                      PUCHAR signature, ULONG signatureLength, ULONG flags)
{
    return CNG(BCryptVerifySignature, key, padding, hash, hashLength, signature, signatureLength, flags);
}

NTSTATUS WINAPI BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR object,
                                 ULONG objectLength, PUCHAR secret, ULONG secretLength, ULONG flags)
{
    DWORD needed = 0;
    ULONG got = 0;
    NTSTATUS status = CNG(BCryptGetProperty, algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&needed),
                          static_cast<ULONG>(sizeof needed), &got, 0UL);
    if (status < 0)
        return status;
    if (object == nullptr)
        return kInvalidParameter; // Vista's CNG has no state of its own to give
    if (objectLength < needed)
        return kBufferTooSmall;
    BCRYPT_HASH_HANDLE created = nullptr;
    status = CNG(BCryptCreateHash, algorithm, &created, static_cast<PUCHAR>(nullptr), 0UL, secret, secretLength,
                 flags);
    if (status >= 0) {
        *reinterpret_cast<BCRYPT_HASH_HANDLE*>(object) = created;
        *hash = object;
    }
    return status;
}

NTSTATUS WINAPI BCryptHashData(BCRYPT_HASH_HANDLE hash, PUCHAR input, ULONG length, ULONG flags)
{
    return CNG(BCryptHashData, inner(hash), input, length, flags);
}

NTSTATUS WINAPI BCryptFinishHash(BCRYPT_HASH_HANDLE hash, PUCHAR output, ULONG length, ULONG flags)
{
    return CNG(BCryptFinishHash, inner(hash), output, length, flags);
}

NTSTATUS WINAPI BCryptDestroyHash(BCRYPT_HASH_HANDLE hash)
{
    return CNG(BCryptDestroyHash, inner(hash));
}

} // extern "C"
