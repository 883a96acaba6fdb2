// Writes a few well-formed images into a folder, as seeds for the fuzzer.
#include <fstream>
#include <string>

#include "ImageBuilder.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string folder = argv[1];
    const std::vector<ImportSpec> imports = {
        {"KERNEL32.dll", {"GetLastError", "CreateFileA", "#17"}},
        {"USER32.dll", {"MessageBoxA", ""}},
        {"EMPTY.dll", {}},
        {"a: b.dll", {"#65535", "x: y"}},
    };
    int serial = 0;
    for (bool pe32Plus : {false, true})
        for (bool lookupTables : {false, true})
            for (bool bound : {false, true})
                for (bool namesInOwnSection : {false, true}) {
                    ImageOptions options;
                    options.pe32Plus = pe32Plus;
                    options.lookupTables = lookupTables;
                    options.bound = bound;
                    options.namesInOwnSection = namesInOwnSection;
                    PeImage image = BuildImage(imports, options);
                    std::ofstream out(folder + "/seed" + std::to_string(++serial) + ".exe",
                                      std::ios::binary);
                    out.write(reinterpret_cast<const char*>(image.bytes.data()),
                              static_cast<std::streamsize>(image.bytes.size()));
                }
    return 0;
}
