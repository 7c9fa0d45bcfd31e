// Heap blocks, host globals and files of the stand-in.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <map>
#include <vector>
#include <string>
#include <string_view>
#include <unordered_map>

#include "exports.h"
#include "state.h"

#if defined(_WIN32)
#include <share.h>
#endif

namespace standin {
namespace {

struct Globals {
    uint16_t stateFlags = 0;
    int16_t warehouse = 0;
    int16_t year = 0;
    uint32_t resizeCalls = 0;
    uint32_t failResizeCall = 0;  // 1-based index of the call to fail; 0: none
    int64_t liveBlocks = 0;
    std::unordered_map<const void *, uint32_t> blockBytes;  // live blocks' sizes
    int64_t liveBytes = 0;
    int64_t peakBytes = 0;
    std::map<std::string, std::string> redirections;  // file name -> file opened instead
    std::vector<std::string> writtenFiles;              // text files opened for writing, first time each
    std::unordered_map<const void *, std::string> openFiles;  // handles not yet closed, with their names
    std::string failPrintfName;  // StandinFailFilePrintf
    uint32_t failPrintfCall = 0;
    std::unordered_map<const void *, uint32_t> printfsToFailure;  // open files of that name
};

Globals &globals() {
    static Globals g;
    return g;
}

int16_t MachineYear() {
    std::time_t now = std::time(nullptr);
    std::tm *local = std::localtime(&now);
    return static_cast<int16_t>(local != nullptr ? local->tm_year + 1900 : 2026);
}

}  // namespace

void ResetHeapAndGlobals() { globals() = Globals{}; }

}  // namespace standin

using namespace standin;

STANDIN_API void StandinSetCurrentYear(int16_t year) { globals().year = year; }
STANDIN_API void StandinSetStateFlags(uint16_t flags) { globals().stateFlags = flags; }
STANDIN_API uint16_t StandinStateFlags(void) { return globals().stateFlags; }
STANDIN_API int16_t StandinCurrentWarehouse(void) { return globals().warehouse; }
STANDIN_API void StandinFailResizeCall(uint32_t callIndex) {
    globals().failResizeCall = callIndex;
    globals().resizeCalls = 0;
}
STANDIN_API void StandinRedirectFile(const char *name, const char *target) {
    if (name == nullptr)
        globals().redirections.clear();
    else
        globals().redirections[name] = target;
}
STANDIN_API void StandinFailFilePrintf(const char *name, uint32_t n) {
    globals().failPrintfName = name != nullptr ? name : "";
    globals().failPrintfCall = n;
}
STANDIN_API int64_t StandinLiveBlocks(void) { return globals().liveBlocks; }
STANDIN_API int64_t StandinLiveBytes(void) { return globals().liveBytes; }
STANDIN_API int64_t StandinPeakBytes(void) { return globals().peakBytes; }
STANDIN_API void StandinResetPeakBytes(void) { globals().peakBytes = globals().liveBytes; }

int32_t HOST_CONV_STDCALL VeldarResizeBlock(void **block, uint32_t bytes) {
    Called(kOrd_VeldarResizeBlock, Address(block), Number(bytes));
    Globals &g = globals();
    if (++g.resizeCalls == g.failResizeCall) return 0;
    void *resized = std::realloc(*block, bytes == 0 ? 1 : bytes);
    if (resized == nullptr) return 0;
    if (*block == nullptr) ++g.liveBlocks;
    // Sizes as asked for: what the caller keeps, whatever the C library rounds up to.
    g.liveBytes -= *block != nullptr ? g.blockBytes[*block] : 0;
    g.blockBytes.erase(*block);
    g.blockBytes[resized] = bytes;
    g.liveBytes += bytes;
    if (g.liveBytes > g.peakBytes) g.peakBytes = g.liveBytes;
    *block = resized;
    return 1;
}

void HOST_CONV_STDCALL VeldarFreeBlock(void *block) {
    Called(kOrd_VeldarFreeBlock, Address(block));
    Globals &g = globals();
    if (block != nullptr) {
        --g.liveBlocks;
        auto found = g.blockBytes.find(block);
        if (found != g.blockBytes.end()) {
            g.liveBytes -= found->second;
            g.blockBytes.erase(found);
        }
    }
    std::free(block);
}

void HOST_CONV_STDCALL VeldarDelete(void *object) {
    Called(kOrd_VeldarDelete, Address(object));
    std::free(object);
}

uint16_t HOST_CONV_STDCALL VeldarGetStateFlags(void) {
    Called(kOrd_VeldarGetStateFlags);
    return globals().stateFlags;
}

int32_t HOST_CONV_STDCALL VeldarSetStateFlag(uint32_t mask, int32_t on) {
    Called(kOrd_VeldarSetStateFlag, Number(mask), Number(on));
    uint16_t &flags = globals().stateFlags;
    flags = static_cast<uint16_t>(on != 0 ? (flags | mask) : (flags & ~mask));
    return 1;
}

int16_t *HOST_CONV_STDCALL VeldarCurrentWarehouse(void) {
    Called(kOrd_VeldarCurrentWarehouse);
    return &globals().warehouse;
}

int16_t *HOST_CONV_STDCALL VeldarCurrentYear(void) {
    Called(kOrd_VeldarCurrentYear);
    if (globals().year == 0) globals().year = MachineYear();
    return &globals().year;
}

int32_t HOST_CONV_STDCALL VeldarSetTableMode(HostTable *table, int32_t mode) {
    Called(kOrd_VeldarSetTableMode, Address(table), Number(mode));
    return 1;
}

// ---- files: the runtime's stream functions, with the results they document ----

HostFile *HOST_CONV_STDCALL VeldarFileOpen(const char *name, const char *mode, int32_t share, int32_t zero,
                                           int32_t minusOne) {
    Called(kOrd_VeldarFileOpen, Text(name), Text(mode), Number(share), Number(zero), Number(minusOne));
    Globals &g = globals();
    if (mode[0] == 'w' && std::strchr(mode, 't') != nullptr && std::find(g.writtenFiles.begin(), g.writtenFiles.end(), name) == g.writtenFiles.end())
        g.writtenFiles.emplace_back(name);
    const bool failPrintf = g.failPrintfCall != 0 && g.failPrintfName == name;
    auto redirected = globals().redirections.find(name);
    if (redirected != globals().redirections.end()) name = redirected->second.c_str();
#if defined(_WIN32)
    // A larger buffer than the runtime's 4 KiB: under Wine every write of the buffer
    // is a costly trip, and an export writes thousands of lines.
    FILE *file = _fsopen(name, mode, share);
    if (file != nullptr) std::setvbuf(file, nullptr, _IOFBF, 64 * 1024);
#else
    (void)share;
    std::string posixMode;  // POSIX streams have no text mode
    for (const char *m = mode; *m != '\0'; ++m)
        if (*m != 't') posixMode += *m;
    FILE *file = std::fopen(name, posixMode.c_str());
#endif
    if (file != nullptr) g.openFiles[file] = name;
    if (file != nullptr && failPrintf) g.printfsToFailure[file] = g.failPrintfCall;
    return reinterpret_cast<HostFile *>(file);
}

STANDIN_API int32_t StandinOpenFileCount(void) { return static_cast<int32_t>(globals().openFiles.size()); }

STANDIN_API const char *StandinOpenFile(int32_t index) {
    const auto &files = globals().openFiles;
    if (index < 0 || static_cast<std::size_t>(index) >= files.size()) return nullptr;
    auto at = files.begin();
    std::advance(at, index);
    return at->second.c_str();
}

STANDIN_API const char *StandinWrittenFile(int32_t index) {
    const auto &files = globals().writtenFiles;
    return index >= 0 && static_cast<std::size_t>(index) < files.size() ? files[static_cast<std::size_t>(index)].c_str()
                                                                          : nullptr;
}

int32_t HOST_CONV_STDCALL VeldarFileClose(HostFile *file) {
    Called(kOrd_VeldarFileClose, Address(file));
    globals().openFiles.erase(file);
    globals().printfsToFailure.erase(file);
    FILE *stream = reinterpret_cast<FILE *>(file);
    const bool flushed = std::fflush(stream) == 0 && std::ferror(stream) == 0;
    return std::fclose(stream) == 0 && flushed ? 0 : -1;
}

uint32_t HOST_CONV_STDCALL VeldarFileRead(void *buf, uint32_t size, uint32_t count, HostFile *file) {
    Called(kOrd_VeldarFileRead, Address(buf), Number(size), Number(count), Address(file));
    return static_cast<uint32_t>(std::fread(buf, size, count, reinterpret_cast<FILE *>(file)));
}

uint32_t HOST_CONV_STDCALL VeldarFileWrite(const void *buf, uint32_t size, uint32_t count, HostFile *file) {
    Called(kOrd_VeldarFileWrite, Bytes(buf, size * count), Number(size), Number(count), Address(file));
    return static_cast<uint32_t>(std::fwrite(buf, size, count, reinterpret_cast<FILE *>(file)));
}

int32_t HOST_CONV_CDECL VeldarFilePrintf(HostFile *file, const char *format, ...) {
    // Formatted in memory and written at once: the MinGW runtime's printf into a
    // stream writes a character at a time, each through the stream's lock (most of a
    // large month's export under Wine). A write that fails gives -1, as vfprintf does;
    // one the stream keeps in its buffer fails at the latest when the file is closed.
    va_list values;
    va_start(values, format);
    char line[1024];  // an export line fits; a longer text is formatted again, whole
    va_list copy;
    va_copy(copy, values);
    const int length = std::vsnprintf(line, sizeof line, format, copy);
    va_end(copy);
    std::string longer;
    if (length >= static_cast<int>(sizeof line)) longer = FormatV(format, values);
    va_end(values);
    if (length < 0) return -1;
    const std::string_view text = longer.empty() ? std::string_view(line, length) : longer;
    if (callRecorder != nullptr)
        Called(kOrd_VeldarFilePrintf, Address(file), Formatted(format, std::string(text)));
    else
        Called(kOrd_VeldarFilePrintf);
    auto failing = globals().printfsToFailure.find(file);
    if (failing != globals().printfsToFailure.end() && --failing->second == 0) return -1;
    if (std::fwrite(text.data(), 1, text.size(), reinterpret_cast<FILE *>(file)) != text.size()) return -1;
    return length;
}
