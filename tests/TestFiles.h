// Files for the tests, in a folder of their own that is removed at exit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The tests' folder, created on first use.
std::string TestFolder();

// Writes bytes to a new file in the tests' folder and returns its path.
std::string WriteTestFile(const std::string& name, const std::vector<unsigned char>& bytes);
std::string WriteTestFile(const std::string& name, const std::string& bytes);

std::vector<unsigned char> ReadWholeFile(const std::string& path);

// Makes the file size bytes long; what is added reads as zeros and, where the
// file system can, takes no room on the disk.
void ExtendTestFile(const std::string& path, std::uint64_t size);
