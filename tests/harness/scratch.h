// A scratch folder of a test's own, removed with everything in it (read-only
// files included) when the test ends.
#pragma once

#include <string>
#include <vector>

class ScratchDir {
public:
    // A new, empty folder under the system's temporary directory, or under
    // `parent` when given (which must exist). Its path ends in a backslash.
    explicit ScratchDir(const std::string& parent = "");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // path() followed by `name`.
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Removes a folder and everything below it; clears read-only marks first.
void removeTree(const std::string& directory);

// Small file helpers for tests.
bool writeFile(const std::string& path, const std::string& content);
std::string readFile(const std::string& path); // empty when unreadable
bool fileExistsAt(const std::string& path);
bool directoryExistsAt(const std::string& path);
// The names of the files (not folders) in `folder`, which ends in a backslash.
std::vector<std::string> filesIn(const std::string& folder);
