// Host layer: dropped files. An HDROP is a global memory block holding a
// DROPFILES record and, at its pFiles offset, the list of paths. The list
// is read within the block: a path that runs to the block's end ends there.
// Wide paths are given in the ANSI code page of the host layer, UTF-8, the
// encoding in which the file service passes paths to the system.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "HostCalls.h"
#include "HostGlobalMemory.h"

namespace {

const UINT countIndex = 0xFFFFFFFFu;

void AppendUtf8(std::string& text, char32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string FromWide(const std::vector<char16_t>& wide) {
    std::string text;
    for (std::size_t at = 0; at < wide.size(); ++at) {
        char32_t unit = wide[at];
        if (unit >= 0xD800 && unit < 0xDC00 && at + 1 < wide.size() && wide[at + 1] >= 0xDC00 &&
            wide[at + 1] < 0xE000) {
            AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (wide[at + 1] - 0xDC00));
            ++at;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            AppendUtf8(text, 0xFFFD);
        } else {
            AppendUtf8(text, unit);
        }
    }
    return text;
}

// The paths of a drop, in the ANSI code page; false when the handle is no
// block or the block holds no DROPFILES record.
bool ReadDrop(HDROP drop, std::vector<std::string>& paths) {
    unsigned char* data = nullptr;
    SIZE_T size = 0;
    if (!GlobalBlockBytes(drop, data, size)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    DROPFILES record;
    if (size < sizeof record) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::memcpy(&record, data, sizeof record);
    const std::size_t unit = record.fWide ? 2 : 1;
    std::size_t at = record.pFiles;
    while (at + unit <= size) {
        std::string path;
        std::vector<char16_t> wide;
        for (; at + unit <= size; at += unit) {
            if (record.fWide) {
                char16_t character;
                std::memcpy(&character, data + at, sizeof character);
                if (character == 0) break;
                wide.push_back(character);
            } else {
                if (data[at] == 0) break;
                path += static_cast<char>(data[at]);
            }
        }
        at += unit;
        if (record.fWide) path = FromWide(wide);
        if (path.empty()) break;
        paths.push_back(path);
    }
    return true;
}

}  // namespace

UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size) {
    if (HostCallFails("DragQueryFileA")) return 0;
    std::vector<std::string> paths;
    if (!ReadDrop(drop, paths)) return 0;
    if (index == countIndex) return static_cast<UINT>(paths.size());
    if (index >= paths.size()) return 0;
    const std::string& path = paths[index];
    if (buffer == nullptr || size == 0) return static_cast<UINT>(path.size());
    std::size_t copied = std::min<std::size_t>(path.size(), size - 1);
    std::memcpy(buffer, path.data(), copied);
    buffer[copied] = '\0';
    return static_cast<UINT>(copied);
}

void WINAPI DragFinish(HDROP drop) {
    if (HostCallFails("DragFinish")) return;
    ReleaseGlobalBlock(drop);
}
