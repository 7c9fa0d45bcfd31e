// State of the stand-in host library, shared by its source files.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host_api.h"
#include "veldar.h"

namespace standin {

struct Event {
    int32_t kind;
    int32_t flags;
    std::string title;
    std::string text;
};

struct TableSlot {
    bool present = true;
    HostTable table{};
};

// A goods group the host knows, for its goods-group picker.
struct GoodsGroup {
    int16_t number;
    std::string name;  // Mazovia
};

struct State {
    int32_t version = kRequiredHostVersion;
    std::map<int32_t, TableSlot> tables;
    bool noticeChanges = false;
    int16_t noticeValue = 0;
    bool echo = false;
    std::vector<Event> events;
    std::vector<const MenuEntryRecord *> menu;
    std::vector<GoodsGroup> goodsGroups;  // filled with the host's data
    // The form engine's input and output (form_engine.cpp).
    bool formInteractive = false;
    bool formShow = false;
    std::vector<std::string> formScript;  // actions for the next form
    bool formPickSet = false;             // a scripted answer for the next picker
    std::vector<int16_t> formPick;
    std::string formError;    // why the last form was refused or abandoned by the engine
    std::string formPicture;  // the last form as it closed
    char fileNameFallback = '_';  // what a character outside the file-name set becomes
    bool controlGlyphs = false;   // StandinSetControlGlyphs
    bool goodsTablesOnlyStocked = false;  // StandinSetGoodsTablesOnlyStocked
};

State &state();

// Calls of each host function, by its 16-bit ordinal; cleared with the state. Counted
// on every call, so a plain array: no look-up, no guarded static.
inline uint32_t callCounts[65536];

// The test's call recorder (StandinSetCallRecorder), or null.
inline StandinCallRecorder callRecorder = nullptr;
inline void *callRecorderContext = nullptr;

// Arguments as the recorder sees them. Cheap to make: a text's length is only taken
// when a recorder is set (kTextUpTo: up to its terminator, at most that many bytes).
constexpr uint32_t kTextUpTo = 0x80000000u;
inline StandinCallArg Number(int64_t value) { return {kArgNumber, value, nullptr, nullptr, 0}; }
inline StandinCallArg Address(const void *address) { return {kArgAddress, 0, address, nullptr, 0}; }
inline StandinCallArg Text(const char *text, uint32_t most = 0xFFFF) {
    return {kArgText, 0, text, text, kTextUpTo | most};
}
inline StandinCallArg Bytes(const void *bytes, uint32_t length) {
    return {kArgText, 0, bytes, static_cast<const char *>(bytes), length};
}
inline StandinCallArg Formatted(const void *format, const std::string &text) {
    return {kArgText, 0, format, text.data(), static_cast<uint32_t>(text.size())};
}

// Hands a call to the recorder.
void RecordCall(uint32_t ordinal, StandinCallArg *args, int32_t count);

// Counts a call of the host function with this ordinal and hands it, with its
// arguments, to the recorder if there is one.
template <class... Args>
inline void Called(uint32_t ordinal, Args... args) {
    ++callCounts[ordinal & 0xFFFF];
    if (callRecorder != nullptr) {
        StandinCallArg list[sizeof...(Args) + 1] = {args..., {}};
        RecordCall(ordinal, list, static_cast<int32_t>(sizeof...(Args)));
    }
}

// Storage the plug-in hands the host (key block, cursor block, binder) must be
// 8-aligned; a block that is not is a fault (see StandinFault). Checked on every
// call that receives one, so the count is a plain counter.
inline uint32_t blocksChecked;
void MisalignedBlock(const void *block, const char *what, const char *receiver);
inline void CheckBlock(const void *block, const char *what, const char *receiver) {
    ++blocksChecked;
    if ((reinterpret_cast<uintptr_t>(block) & 7) != 0) MisalignedBlock(block, what, receiver);
}

// A fault of the plug-in against the host interface: kept, counted, said on stderr.
void Fault(const std::string &what);

// Back to the defaults of the entry stack and the faults.
void ResetPluginEntries();

// Records something the plug-in showed and echoes it when asked to.
void Show(int32_t kind, int32_t flags, const std::string &title, const std::string &text);

// A host text as UTF-8 for the console (see StandinRenderText); with emphasis, the
// host's emphasis marks become terminal bold.
std::string Render(const std::string &hostText, bool emphasis);

// Back to the defaults of heap blocks, host globals and fault injection.
void ResetHeapAndGlobals();

// The sales tables back to empty, their record buffers attached to tables 44 and 45.
void ResetSalesTables();

// The stand-in's stored date form of a calendar date (empty when there is no such
// date), and back.
std::string StoredDate(int year, int month, int day);
bool ParseStoredDate(const char *stored, int &year, int &month, int &day);

// A character and where it stands, for messages: U+0107 'ć' at column 14, a control
// character by its name: U+0009 (tab) at column 3.
std::string DescribeCharacter(char32_t c, std::size_t column);
// Strict UTF-8 (the shortest form only, no surrogates, nothing beyond U+10FFFF) into
// chars: "" when sound, else why, naming the first byte that is not (columns count
// characters from 1; a byte that is not UTF-8 counts as one).
std::string DecodeUtf8(const std::string &utf8, std::u32string &chars);
// Whether a character can stand in a host text: Mazovia has it, and it is no control
// character. If not, why, the character named as described: "holds U+20AC '€' at
// column 2, which Mazovia has not got", "holds a control character, U+0009 (tab) ...".
bool FitsHostText(char32_t c);
std::string UnfitForHostText(char32_t c, const std::string &described);

// printf-style formatting into a string.
std::string FormatV(const char *format, va_list values);

}  // namespace standin
