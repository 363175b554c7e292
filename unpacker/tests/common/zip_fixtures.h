// The packages made with the standard zip tool at build time
// (make_zip_fixtures.sh), with the files each must give.
#pragma once

#include <string>
#include <vector>

#include "zpk_writer.h"

struct ZipFixture {
    std::string package;          // path of the package
    std::vector<ZpkInput> files;  // bare names and contents, in package order
    int status = 0;               // the status it must give instead, when not 0
};

// Reads `dir`/fixtures.txt and the files it names. `dir` ends with a separator.
std::vector<ZipFixture> loadZipFixtures(const std::string& dir);

std::string readWholeFile(const std::string& path);
