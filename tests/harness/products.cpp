// Fake installs of GlimOn AV and Dravomire (see products.h).
#include "harness/products.h"

#include <windows.h>

#include "harness/registry.h"
#include "harness/scratch.h"

namespace {

std::string withBackslash(std::string path)
{
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    return path;
}

std::string withoutBackslash(std::string path)
{
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

// Creates `key` unless it exists; remembers it in `created` when it did not.
void noteNewKey(const std::string& key, std::vector<std::string>& created)
{
    if (!keyExists(HKEY_LOCAL_MACHINE, key))
        created.push_back(key);
}

void deleteValue(const std::string& key, const std::string& name)
{
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(handle, name.c_str());
    RegCloseKey(handle);
}

} // namespace

FakeGlimOn::FakeGlimOn(const std::string& root, const GlimOnOptions& options)
    : installDir_(withBackslash(root) + options.installName + "\\"),
      sharedDir_(withBackslash(root) + options.sharedName + "\\")
{
    if (options.installProgram) {
        madeInstallDir_ = CreateDirectoryA(installDir_.c_str(), nullptr) != 0;
        writeFile(program(), "GlimOn AV program (test stand-in)\r\n");
    }
    if (options.createShared)
        CreateDirectoryA(sharedDir_.c_str(), nullptr);

    noteNewKey(product_keys::kGlimOn, createdKeys_);
    setStringValue(product_keys::kGlimOn, "sharedir",
                   options.sharedBackslash ? sharedDir_ : withoutBackslash(sharedDir_));
    switch (options.lookup) {
    case GlimOnLookup::AppPath:
        noteNewKey(product_keys::kGlimOnAppPath, createdKeys_);
        setStringValue(product_keys::kGlimOnAppPath, "", program());
        break;
    case GlimOnLookup::GlimonAppPath:
        noteNewKey(product_keys::kGlimonAppPath, createdKeys_);
        setStringValue(product_keys::kGlimonAppPath, "", program());
        break;
    case GlimOnLookup::InstallPath:
        setStringValue(product_keys::kGlimOn, "installpath", withoutBackslash(installDir_));
        break;
    case GlimOnLookup::None:
        break;
    }
}

FakeGlimOn::~FakeGlimOn()
{
    deleteValue(product_keys::kGlimOn, "sharedir");
    deleteValue(product_keys::kGlimOn, "installpath");
    for (const std::string& key : createdKeys_)
        deleteKeyTree(HKEY_LOCAL_MACHINE, key);
    // Discovery may have created the shared directory itself: it goes too.
    removeTree(sharedDir_);
    if (madeInstallDir_)
        removeTree(installDir_);
}

bool FakeGlimOn::addDefinitionFile(const std::string& name, const std::string& content) const
{
    return writeFile(sharedDir_ + name, content);
}

FakeDravomire::FakeDravomire(const std::string& root, const DravomireOptions& options)
    : directory_(withBackslash(root) + options.name + "\\")
{
    if (options.createDirectory)
        madeDirectory_ = CreateDirectoryA(directory_.c_str(), nullptr) != 0;
    if (options.installProgram)
        writeFile(program(), "Dravomire program (test stand-in)\r\n");
    createdKey_ = !keyExists(HKEY_LOCAL_MACHINE, product_keys::kDravomire);
    setStringValue(product_keys::kDravomire, "Directory",
                   options.directoryBackslash ? directory_ : withoutBackslash(directory_));
}

FakeDravomire::~FakeDravomire()
{
    if (createdKey_)
        deleteKeyTree(HKEY_LOCAL_MACHINE, product_keys::kDravomire);
    else
        deleteValue(product_keys::kDravomire, "Directory");
    if (madeDirectory_)
        removeTree(directory_);
}

bool FakeDravomire::addDefinitionFile(const std::string& name, const std::string& content) const
{
    return writeFile(directory_ + name, content);
}
