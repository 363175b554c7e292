// Builds packages: ZIP archives that zunpck32.dll accepts.
//
// Used by the zpk tool. The writer refuses exactly what the library would
// refuse (more than 19 files, a name the library would not write, two names
// equal but for case, more than the size cap), so a package it writes always
// unpacks once signed. Names may carry folders
// ("defs/A.DAT"); the library writes such a file as "A.DAT".
#pragma once

#include <string>
#include <vector>

struct ZpkInput {
    std::string name;
    std::string data;
};

// Builds the package in memory. Each file is deflated, or stored when
// deflating would not make it smaller. On refusal returns false, leaves `out`
// unchanged and puts the reason in *error (when error is not null).
bool zpkBuild(const std::vector<ZpkInput>& files, std::string& out, std::string* error);

// Builds the package that is to be written to `outPath`: as zpkBuild, and it
// also refuses a file named like the package itself.
bool zpkBuildFor(const std::string& outPath, const std::vector<ZpkInput>& files, std::string& out,
                 std::string* error);

// Writes a built (and signed) package to `outPath`, replacing any file there.
// On a write failure returns false with the reason in *error, and leaves no
// partial file behind.
bool zpkWritePackage(const std::string& outPath, const std::string& package, std::string* error);
