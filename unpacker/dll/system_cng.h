// The system's CNG (bcrypt.dll), loaded from the Windows system directory and
// nowhere else, its functions looked up by name.
//
// bcrypt.dll is not among the DLLs Windows always takes from its own
// directory: imported at load time, or loaded by its bare name, it is looked
// for beside the program first. A bcrypt.dll planted there (the program is
// often started from a downloads folder) would run with the program's rights,
// an administrator's. So the library never imports it and loads it by its
// full path. Windows before Vista has no CNG at all; the library then cannot
// check a signature, and says so, where an import would keep it from loading.
#pragma once

#include <windows.h>
#include <bcrypt.h>

struct SystemCng {
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithmProvider;
    decltype(&BCryptCloseAlgorithmProvider) closeAlgorithmProvider;
    decltype(&BCryptGetProperty) getProperty;
    decltype(&BCryptImportKeyPair) importKeyPair;
    decltype(&BCryptDestroyKey) destroyKey;
    decltype(&BCryptCreateHash) createHash;
    decltype(&BCryptHashData) hashData;
    decltype(&BCryptFinishHash) finishHash;
    decltype(&BCryptDestroyHash) destroyHash;
    decltype(&BCryptVerifySignature) verifySignature;
};

// The system's CNG, loaded on first use and kept for the life of the process;
// null while the system directory holds no bcrypt.dll with all of these.
const SystemCng* systemCng();
