// Types and calling conventions shared by the plug-in and the host library.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#if defined(__i386__)
#define HOST_CONV_STDCALL __attribute__((stdcall))
#define HOST_CONV_CDECL __attribute__((cdecl))
#define HOST_CONV_THISCALL __attribute__((thiscall))
#else
// The native development build uses the platform's one convention.
#define HOST_CONV_STDCALL
#define HOST_CONV_CDECL
#define HOST_CONV_THISCALL
#endif

// Marks a function that calls through a hand-made virtual table or a host entry
// held as void *: the callee's C++ type differs from the host's signature the call
// uses, by design (the layout is the host compiler's, not ours). Clang's function
// sanitizer would report each such call; it is told so here and nowhere else.
#if defined(__clang__)
#define HOST_CALLS_THROUGH_TABLES __attribute__((no_sanitize("function")))
#else
#define HOST_CALLS_THROUGH_TABLES
#endif

struct _EXCEPTION_POINTERS;

// A host table object. The plug-in reads only the record size and the pointer to
// the current record buffer; everything else belongs to the host.
struct HostTable {
    uint8_t hostPrivate[6];
    int16_t recordSize;
    uint8_t *record;
};
static_assert(offsetof(HostTable, recordSize) == 6, "record size lies at byte 6");
#if defined(__i386__)
static_assert(offsetof(HostTable, record) == 8, "record buffer pointer lies at byte 8");
#endif

// Opaque host file handle.
struct HostFile;

// The record by which the plug-in describes its menu command. The host keeps the
// pointer, so the one instance is static and constant.
struct MenuEntryRecord {
    uint32_t tag;
    const char *caption;
    uint16_t commandId;
    uint16_t padding;
    int32_t(HOST_CONV_STDCALL *handler)(void);
    uint32_t extra;
};
#if defined(__i386__)
static_assert(sizeof(MenuEntryRecord) == 20, "the host exchanges a 20-byte menu record");
static_assert(offsetof(MenuEntryRecord, commandId) == 8 && offsetof(MenuEntryRecord, handler) == 12,
              "menu record layout is fixed by the host");
#endif

// Storage that the plug-in provides and the host fills.
constexpr std::size_t kKeyBlockBytes = 128;
constexpr std::size_t kCursorBlockBytes = 128;
constexpr std::size_t kCallbackBinderBytes = 32;

// Form events (kind argument of the dialog's event handler).
constexpr int16_t kFormEventCommand = 1;
// Result of VeldarRunForm when the form was confirmed with OK.
constexpr int16_t kFormConfirmed = 0x5001;

// The host's code page numbers for VeldarConvertCodePage.
constexpr int32_t kCodePageFileNames = 0;
constexpr int32_t kCodePageMazovia = 1;
constexpr int32_t kCodePageWindows1250 = 3;

// Host ordinals, by name.
enum HostOrdinal : uint16_t {
#define HOST_FN(ord, name, conv, bytes, ret, params, args) kOrd_##name = ord,
#define HOST_ADDR(ord, name) kOrd_##name = ord,
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params) kOrd_##name = ord,
#define HOST_ATTACH(ord, name, conv, bytes, ret, params) kOrd_##name = ord,
#include "host_functions.inc"
};

// The interface version a host must report to be accepted.
constexpr int32_t kRequiredHostVersion = 112;

// Signatures of the functions the host library exports, as pointer types.
namespace hostsig {
#define HOST_FN(ord, name, conv, bytes, ret, params, args) using name = ret(HOST_CONV_##conv *) params;
#define HOST_ADDR(ord, name)
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params) using name = ret(HOST_CONV_##conv *) params;
#define HOST_ATTACH(ord, name, conv, bytes, ret, params) using name = ret(HOST_CONV_##conv *) params;
#include "host_functions.inc"
}  // namespace hostsig
