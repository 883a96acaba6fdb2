// quernwick-list: the listing of files as the window shows it after a drop,
// written out exactly as the copy command would place it on the clipboard.
#pragma once

#include <string>
#include <vector>

// Lists the files of arguments (the program's arguments, without its name)
// as if they had been dropped in that order. Fills output with the text and
// errors with any message; returns the exit status: 0 when every file was
// read, 1 when some file was not, 2 for a usage error.
int ListFiles(const std::vector<std::string>& arguments, std::string& output,
              std::string& errors);
