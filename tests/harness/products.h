// Fake installs of the maker's two products, exactly as discovery looks for
// them: the registry values under HKEY_LOCAL_MACHINE and the program files on
// disk, in a folder of the test's own. Use them inside a RegistryGuard, which
// puts the machine's own keys aside; each fixture removes the values, keys and
// files it created when it goes out of scope.
//
//   ScratchDir scratch;
//   RegistryGuard guard;
//   FakeGlimOn glimOn(scratch.path());            // GlimOn AV\glimonav.exe and Shared\ below the root
//   FakeDravomire dravomire(scratch.path());      // ...\Dravomire\dv95.exe
#pragma once

#include <string>
#include <vector>

// Registry keys and value names that discovery reads.
namespace product_keys {
inline const char kGlimOn[] = "Software\\Zorvane\\GlimOn AV";             // "sharedir", "installpath"
inline const char kDravomire[] = "Software\\Zorvane\\Dravomire";          // "Directory"
inline const char kGlimOnAppPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\glimonav.exe";
inline const char kGlimonAppPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\glimon.exe";
} // namespace product_keys

// Which of discovery's three lookups finds the GlimOn AV program file.
enum class GlimOnLookup {
    AppPath,       // App Paths\glimonav.exe, default value = full path of glimonav.exe
    GlimonAppPath, // App Paths\glimon.exe, default value = full path of glimonav.exe
    InstallPath,   // "installpath" = the installation directory, without its backslash
    None,          // no lookup registered: the product counts as not installed
};

struct GlimOnOptions {
    GlimOnOptions() {}
    GlimOnOptions(GlimOnLookup l) : lookup(l) {}
    GlimOnLookup lookup = GlimOnLookup::AppPath;
    bool installProgram = true;          // put glimonav.exe on disk
    bool createShared = true;            // make the shared directory on disk
    bool sharedBackslash = true;         // write "sharedir" with its trailing backslash
    std::string installName = "GlimOn AV"; // folder under the root for the program
    std::string sharedName = "Shared";     // folder under the root for the definition files
};

class FakeGlimOn {
public:
    // root: an existing folder (a ScratchDir path) to install under; with or
    // without a trailing backslash.
    explicit FakeGlimOn(const std::string& root, const GlimOnOptions& options = {});
    ~FakeGlimOn();
    FakeGlimOn(const FakeGlimOn&) = delete;
    FakeGlimOn& operator=(const FakeGlimOn&) = delete;

    std::string installDir() const { return installDir_; } // ...\GlimOn AV\ (holds glimonav.exe)
    std::string program() const { return installDir_ + "glimonav.exe"; }
    std::string sharedDir() const { return sharedDir_; }   // ...\Shared\ (the definition directory)
    // Places a definition file in the shared directory.
    bool addDefinitionFile(const std::string& name, const std::string& content) const;

private:
    std::string installDir_;
    std::string sharedDir_;
    bool madeInstallDir_ = false;
    std::vector<std::string> createdKeys_;
};

struct DravomireOptions {
    bool installProgram = true;      // put dv95.exe on disk
    bool createDirectory = true;     // make the directory on disk
    bool directoryBackslash = true;  // write "Directory" with its trailing backslash
    std::string name = "Dravomire";  // folder under the root
};

class FakeDravomire {
public:
    explicit FakeDravomire(const std::string& root, const DravomireOptions& options = {});
    ~FakeDravomire();
    FakeDravomire(const FakeDravomire&) = delete;
    FakeDravomire& operator=(const FakeDravomire&) = delete;

    std::string directory() const { return directory_; } // with backslash; holds dv95.exe and the definition files
    std::string program() const { return directory_ + "dv95.exe"; }
    bool addDefinitionFile(const std::string& name, const std::string& content) const;

private:
    std::string directory_;
    bool madeDirectory_ = false;
    bool createdKey_ = false;
};
