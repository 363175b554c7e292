// bin/cng/bcrypt.dll: CNG as Windows Vista has it, for the rows on the system's CNG. A hash keeps its state in an
// object the caller gives (Windows 7 on takes its own when given none), where its handle points. Wine's own CNG,
// loaded from Wine's folder as a module of its own, does the work. Once loaded, it leaves bcrypt.loaded in TEMP.
#include <windows.h>
#include <bcrypt.h>

namespace {

HMODULE wine;

template <typename Function, typename... Arguments>
NTSTATUS call(const char* name, Arguments... arguments)
{
    if (wine == nullptr)
        wine = LoadLibraryA("Z:\\usr\\lib\\i386-linux-gnu\\wine\\i386-windows\\bcrypt.dll");
    const auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(wine, name)));
    return function != nullptr ? function(arguments...) : static_cast<NTSTATUS>(0xC00000BB); // not supported
}

} // namespace

#define CNG(function, ...) call<decltype(&function)>(#function, __VA_ARGS__)
#define PASS(function, parameters, ...) NTSTATUS WINAPI function parameters { return CNG(function, __VA_ARGS__); }
#define WINE_HASH(hash) *static_cast<BCRYPT_HASH_HANDLE*>(static_cast<void*>(hash)) // kept in the hash's object

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*)
{
    char path[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH - 16, path);
    if (reason == DLL_PROCESS_ATTACH && length > 0 && length < MAX_PATH - 16)
        CloseHandle(CreateFileA(lstrcatA(path, "bcrypt.loaded"), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return TRUE;
}

PASS(BCryptOpenAlgorithmProvider, (BCRYPT_ALG_HANDLE* a, LPCWSTR id, LPCWSTR from, ULONG flags), a, id, from, flags)
PASS(BCryptCloseAlgorithmProvider, (BCRYPT_ALG_HANDLE algorithm, ULONG flags), algorithm, flags)
PASS(BCryptGetProperty, (BCRYPT_HANDLE h, LPCWSTR name, PUCHAR out, ULONG size, ULONG* got, ULONG flags), h, name, out,
     size, got, flags)
PASS(BCryptImportKeyPair, (BCRYPT_ALG_HANDLE a, BCRYPT_KEY_HANDLE with, LPCWSTR type, BCRYPT_KEY_HANDLE* key,
                           PUCHAR blob, ULONG size, ULONG flags), a, with, type, key, blob, size, flags)
PASS(BCryptDestroyKey, (BCRYPT_KEY_HANDLE key), key)
PASS(BCryptVerifySignature, (BCRYPT_KEY_HANDLE key, void* padding, PUCHAR hash, ULONG hashSize, PUCHAR signature,
                             ULONG size, ULONG flags), key, padding, hash, hashSize, signature, size, flags)
PASS(BCryptHashData, (BCRYPT_HASH_HANDLE hash, PUCHAR data, ULONG size, ULONG flags), WINE_HASH(hash), data, size, flags)
PASS(BCryptFinishHash, (BCRYPT_HASH_HANDLE hash, PUCHAR out, ULONG size, ULONG flags), WINE_HASH(hash), out, size, flags)
PASS(BCryptDestroyHash, (BCRYPT_HASH_HANDLE hash), WINE_HASH(hash))

NTSTATUS WINAPI BCryptCreateHash(BCRYPT_ALG_HANDLE algorithm, BCRYPT_HASH_HANDLE* hash, PUCHAR object, ULONG size,
                                 PUCHAR secret, ULONG secretSize, ULONG flags)
{
    DWORD needed = 0;
    ULONG got = 0;
    NTSTATUS status = CNG(BCryptGetProperty, algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&needed),
                          static_cast<ULONG>(sizeof needed), &got, 0UL);
    if (status >= 0 && (object == nullptr || size < needed)) // as Vista: no state of its own to take
        return static_cast<NTSTATUS>(object == nullptr ? 0xC000000D : 0xC0000023); // invalid; buffer too small
    if (status >= 0 && (status = CNG(BCryptCreateHash, algorithm, &WINE_HASH(object), static_cast<PUCHAR>(nullptr), 0UL,
                                     secret, secretSize, flags)) >= 0)
        *hash = object;
    return status;
}

} // extern "C"
