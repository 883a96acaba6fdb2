#include "TestFiles.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path path;
    Folder() {
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path = fs::temp_directory_path() / ("quernwick-tests-" + std::to_string(stamp));
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

const fs::path& FolderPath() {
    static Folder folder;
    return folder.path;
}

}  // namespace

std::string TestFolder() { return FolderPath().string(); }

static std::string Write(const std::string& name, const char* bytes, std::size_t size) {
    fs::path path = FolderPath() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes, static_cast<std::streamsize>(size));
    return path.string();
}

std::string WriteTestFile(const std::string& name, const std::string& bytes) {
    return Write(name, bytes.data(), bytes.size());
}

std::string WriteTestFile(const std::string& name, const std::vector<unsigned char>& bytes) {
    return Write(name, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// The runtime's std::filesystem::resize_file crashes in the 32-bit Windows
// build under Wine; the system's own calls extend the file there.
void ExtendTestFile(const std::string& path, std::uint64_t size) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    SetFilePointerEx(file, end, NULL, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
#else
    fs::resize_file(path, size);
#endif
}
