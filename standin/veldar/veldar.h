/* The stand-in host library's own control interface, exported by name.
 *
 * The host program and the tests use it to configure the stand-in (version,
 * tables, answers to notices) and to observe what the plug-in asked of it
 * (messages shown, menu commands, calls per ordinal). The plug-in never uses it.
 */
#pragma once

#include <stdint.h>

#include "host_api.h"

#if defined(_WIN32) && defined(VELDAR_BUILD)
#define STANDIN_API extern "C" __declspec(dllexport)
#elif defined(_WIN32)
#define STANDIN_API extern "C" __declspec(dllimport)
#else
#define STANDIN_API extern "C" __attribute__((visibility("default")))
#endif

/* What the plug-in showed or did, in order. Texts are the raw host bytes. */
enum StandinEventKind {
    kEventMessage = 1,    /* VeldarShowMessage */
    kEventMessageF = 2,   /* VeldarShowMessageF, text formatted */
    kEventMessageV = 3,   /* VeldarShowMessageV, text formatted */
    kEventNotice = 4,     /* VeldarShowNotice */
    kEventMenuAdd = 5,    /* VeldarAddMenuCommand; text is the caption */
    kEventMenuRemove = 6, /* VeldarRemoveMenuCommand; flags is the command id */
};

struct StandinEvent {
    int32_t kind;
    int32_t flags; /* style, flags, kind or id, as the call gave it */
    const char *title;
    const char *text;
    uint32_t textLength;
};

/* Back to the defaults: version 112, tables 44, 45 and 49 present with record sizes
 * 980, 298 and 1024, no menu commands, no events, all call counts zero. */
STANDIN_API void StandinReset(void);

/* Echo what the plug-in shows to standard output, in UTF-8. */
STANDIN_API void StandinSetEcho(int32_t on);

STANDIN_API void StandinSetVersion(int32_t version);
/* The record size a table reports, stored as the host's signed 16-bit field. */
STANDIN_API void StandinSetTableRecordSize(int32_t tableNumber, int32_t recordSize);
STANDIN_API void StandinSetTablePresent(int32_t tableNumber, int32_t present);

/* What the user does with the install notice: leave its flag alone (the default),
 * or set it to a value (for instance 1, "do not ask again"). */
STANDIN_API void StandinSetNoticeAnswer(int32_t change, int16_t value);

STANDIN_API int32_t StandinEventCount(void);
/* Fills *event; the pointers stay valid until the next reset. 0 if out of range. */
STANDIN_API int32_t StandinGetEvent(int32_t index, struct StandinEvent *event);
STANDIN_API void StandinClearEvents(void);

/* How often the plug-in called the host function with this ordinal. */
STANDIN_API uint32_t StandinCallCount(uint32_t ordinal);

/* Registered menu commands. */
STANDIN_API int32_t StandinMenuCount(void);
STANDIN_API const MenuEntryRecord *StandinMenuEntry(int32_t index);

/* Host globals: the current year (0: the machine's), the state flag word, the
 * current warehouse number. */
STANDIN_API void StandinSetCurrentYear(int16_t year);
STANDIN_API void StandinSetStateFlags(uint16_t flags);
STANDIN_API uint16_t StandinStateFlags(void);
STANDIN_API int16_t StandinCurrentWarehouse(void);

/* Fault injection: the callIndex-th VeldarResizeBlock call from now fails (0: none). */
STANDIN_API void StandinFailResizeCall(uint32_t callIndex);
/* Files: opening the file called name opens target instead, for instance a device
 * that is always full ("/dev/full", under Wine "Z:\\dev\\full"). A null name clears
 * every redirection. */
STANDIN_API void StandinRedirectFile(const char *name, const char *target);

/* Heap blocks handed out by VeldarResizeBlock and not yet freed. */
STANDIN_API int64_t StandinLiveBlocks(void);

/* A host text (Mazovia with the host's control bytes) as UTF-8 for a console:
 * emphasis marks dropped, tab-stop directives applied. Returns the length written
 * (without the terminator), at most size - 1. */
STANDIN_API uint32_t StandinRenderText(const char *text, char *out, uint32_t size);
