// make-image KIND FILE: writes a crafted PE image for the end-to-end suite.
//   limit    the largest listing that one file can give: a DLL per function,
//            as many functions as the reader reads
//   beyond   a small hostile image far beyond the limits: 4,096 descriptors
//            sharing one array of 256 thunks
// Exit status: 0 written, 1 not written, 5 usage.
#include <cstdio>
#include <string>

#include "ImageBuilder.h"
#include "import/ImportReader.h"

int main(int argc, char** argv) {
    if (argc != 3) return 5;
    const std::string kind = argv[1];
    PeImage image;
    if (kind == "limit")
        image = BuildDllPerFunctionImage(MaxImportEntries);
    else if (kind == "beyond")
        image = BuildSharedThunkImage(4096, 256);
    else
        return 5;
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr) return 1;
    bool written = std::fwrite(image.bytes.data(), 1, image.bytes.size(), file) == image.bytes.size();
    return std::fclose(file) == 0 && written ? 0 : 1;
}
