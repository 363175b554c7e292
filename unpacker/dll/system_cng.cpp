// Loading the system's CNG (see system_cng.h).
#include "system_cng.h"

#include <cstring>

namespace {

SystemCng cng;
const SystemCng* loaded = nullptr;

HMODULE loadFromSystemDirectory()
{
    static const char kName[] = "\\bcrypt.dll";
    char path[MAX_PATH];
    // 0 on failure; when the path does not fit, the size it would need.
    const UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length + sizeof kName > sizeof path)
        return nullptr;
    std::memcpy(path + length, kName, sizeof kName);
    // With the altered search path, what bcrypt.dll itself imports is also
    // looked for in the system directory before the program's folder.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Function>
bool find(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

} // namespace

const SystemCng* systemCng()
{
    if (loaded != nullptr)
        return loaded;
    HMODULE module = loadFromSystemDirectory();
    if (module == nullptr)
        return nullptr;
    if (find(module, "BCryptOpenAlgorithmProvider", cng.openAlgorithmProvider) &&
        find(module, "BCryptCloseAlgorithmProvider", cng.closeAlgorithmProvider) &&
        find(module, "BCryptGetProperty", cng.getProperty) &&
        find(module, "BCryptImportKeyPair", cng.importKeyPair) &&
        find(module, "BCryptDestroyKey", cng.destroyKey) &&
        find(module, "BCryptCreateHash", cng.createHash) &&
        find(module, "BCryptHashData", cng.hashData) &&
        find(module, "BCryptFinishHash", cng.finishHash) &&
        find(module, "BCryptDestroyHash", cng.destroyHash) &&
        find(module, "BCryptVerifySignature", cng.verifySignature))
        loaded = &cng;
    else
        FreeLibrary(module);
    return loaded;
}
