// Registry set-up for tests (see registry.h).
#include "harness/registry.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char kBackupRoot[] = "Software\\DefPatchTests\\Saved\\";

std::string backupName(const std::string& key)
{
    std::string name = kBackupRoot;
    for (char c : key)
        name += (c == '\\') ? '|' : c;
    return name;
}

} // namespace

const std::vector<std::string>& defPatchKeys()
{
    static const std::vector<std::string> keys = {
        "Software\\Zorvane",
        "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\glimonav.exe",
        "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\glimon.exe",
        "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\TWAgent.exe",
    };
    return keys;
}

bool keyExists(HKEY root, const std::string& key)
{
    HKEY handle;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

bool deleteKeyTree(HKEY root, const std::string& key)
{
    LONG status = RegDeleteTreeA(root, key.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
        RegDeleteKeyA(root, key.c_str());
    return !keyExists(root, key);
}

static bool copyKey(const std::string& from, const std::string& to)
{
    HKEY source, target;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, from.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS)
        return false;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target,
                        nullptr) != ERROR_SUCCESS) {
        RegCloseKey(source);
        return false;
    }
    bool ok = RegCopyTreeA(source, nullptr, target) == ERROR_SUCCESS;
    RegCloseKey(target);
    RegCloseKey(source);
    return ok;
}

RegistryGuard::RegistryGuard(std::vector<std::string> keys) : keys_(std::move(keys))
{
    for (const auto& key : keys_) {
        bool present = keyExists(HKEY_LOCAL_MACHINE, key);
        deleteKeyTree(HKEY_LOCAL_MACHINE, backupName(key));
        if (present)
            copyKey(key, backupName(key));
        deleteKeyTree(HKEY_LOCAL_MACHINE, key);
        saved_.push_back(present);
    }
}

RegistryGuard::~RegistryGuard()
{
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        deleteKeyTree(HKEY_LOCAL_MACHINE, keys_[i]);
        if (saved_[i]) {
            copyKey(backupName(keys_[i]), keys_[i]);
            deleteKeyTree(HKEY_LOCAL_MACHINE, backupName(keys_[i]));
        }
    }
    deleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\DefPatchTests");
}

bool setRawValue(const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size)
{
    HKEY handle;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExA(handle, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return ok;
}

bool setStringValue(const std::string& key, const std::string& name, const std::string& value)
{
    return setRawValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

bool setDwordValue(const std::string& key, const std::string& name, DWORD value)
{
    return setRawValue(key, name, REG_DWORD, &value, sizeof value);
}

RegValue readValue(const std::string& key, const std::string& name)
{
    RegValue value;
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExA(handle, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExA(handle, name.c_str(), nullptr, &value.type,
                             reinterpret_cast<BYTE*>(value.data.data()), &size) == ERROR_SUCCESS) {
            value.present = true;
            value.data.resize(size);
        }
    }
    RegCloseKey(handle);
    return value;
}

std::string fixedText(const std::string& text, std::size_t size)
{
    std::string bytes(size, '\0');
    bytes.replace(0, std::min(text.size(), size), text, 0, std::min(text.size(), size));
    return bytes;
}

std::string dwordBytes(DWORD value)
{
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

void expectValue(const std::string& key, const std::string& name, DWORD type, const std::string& data)
{
    RegValue value = readValue(key, name);
    ASSERT_TRUE(value.present) << key << " \\ " << name;
    EXPECT_EQ(type, value.type) << name;
    EXPECT_EQ(data.size(), value.data.size()) << name;
    EXPECT_EQ(data, value.data) << name;
}
