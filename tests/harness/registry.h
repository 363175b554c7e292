// Registry set-up for tests: a guard that puts aside the keys the program reads
// and writes and brings them back afterwards, and small value helpers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The HKEY_LOCAL_MACHINE keys that DefPatch reads or writes.
const std::vector<std::string>& defPatchKeys();

// While it lives, each named HKLM key is absent unless the test creates it: on
// construction any existing key is moved aside, on destruction the test's key is
// deleted and the original moved back.
class RegistryGuard {
public:
    explicit RegistryGuard(std::vector<std::string> keys = defPatchKeys());
    ~RegistryGuard();
    RegistryGuard(const RegistryGuard&) = delete;
    RegistryGuard& operator=(const RegistryGuard&) = delete;

private:
    std::vector<std::string> keys_;
    std::vector<bool> saved_;
};

bool deleteKeyTree(HKEY root, const std::string& key);
bool keyExists(HKEY root, const std::string& key);

// Value helpers on HKEY_LOCAL_MACHINE (the key is created when absent).
bool setStringValue(const std::string& key, const std::string& name, const std::string& value);
bool setRawValue(const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size);
bool setDwordValue(const std::string& key, const std::string& name, DWORD value);

struct RegValue {
    bool present = false;
    DWORD type = 0;
    std::string data; // the raw bytes, as many as the registry reports
};
RegValue readValue(const std::string& key, const std::string& name);

// A text as a fixed-size REG_SZ value holds it: the text, then zeros.
std::string fixedText(const std::string& text, std::size_t size = 256);
// A REG_DWORD value's bytes.
std::string dwordBytes(DWORD value);
// Expects the HKLM value to be present with exactly this type and these bytes.
void expectValue(const std::string& key, const std::string& name, DWORD type, const std::string& data);
