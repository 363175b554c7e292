// Packages the tests run through both the platform-free reader (natively) and
// the real zunpck32.dll (under Wine): sound ones with the files they must
// give, and broken or hostile ones with the status they must give.
#pragma once

#include <string>
#include <vector>

#include "zpk_writer.h"

// The package's own name in every case; a file of this name is a duplicate.
inline const char kCasePackageName[] = "virusdef.zpk";

struct GoodCase {
    std::string label;
    std::string bytes;
    std::vector<ZpkInput> files; // bare names and contents, in package order
};

struct BadCase {
    std::string label;
    std::string bytes;
    int status;
    // True when the fault only shows while a file is written (CRC, data): the
    // library announces files first and removes the failing one.
    bool whileWriting;
};

std::vector<GoodCase> goodCases();
std::vector<BadCase> badCases();
