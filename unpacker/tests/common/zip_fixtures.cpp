// Reading the list of zip-made packages.
#include "zip_fixtures.h"

#include <fstream>
#include <iterator>
#include <sstream>

std::string readWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<ZipFixture> loadZipFixtures(const std::string& dir)
{
    std::vector<ZipFixture> fixtures;
    std::istringstream list(readWholeFile(dir + "fixtures.txt"));
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream words(line);
        ZipFixture fixture;
        std::string word;
        words >> word;
        fixture.package = dir + word;
        while (words >> word) {
            if (word[0] == '!') {
                fixture.status = std::stoi(word.substr(1));
                continue;
            }
            std::size_t eq = word.find('=');
            fixture.files.push_back({word.substr(0, eq), readWholeFile(dir + "src/" + word.substr(eq + 1))});
        }
        fixtures.push_back(fixture);
    }
    return fixtures;
}
