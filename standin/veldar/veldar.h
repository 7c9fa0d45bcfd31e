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

/* A recorder of the plug-in's host calls, for tests that compare what two versions of
 * the plug-in ask of the host. It is called at the start of every host function
 * (before the function acts) with the ordinal and the arguments: a number, an
 * address, or an address with the text or bytes found there (for the variadic
 * functions, the text they format). Null turns it off; a reset turns it off too. */
enum StandinArgKind { kArgNumber = 0, kArgAddress = 1, kArgText = 2 };
struct StandinCallArg {
    int32_t kind;
    int64_t number;      /* kArgNumber */
    const void *address; /* kArgAddress, kArgText */
    const char *text;    /* kArgText: textLength bytes */
    uint32_t textLength;
};
typedef void (*StandinCallRecorder)(void *context, uint32_t ordinal, const struct StandinCallArg *args, int32_t count);
STANDIN_API void StandinSetCallRecorder(StandinCallRecorder recorder, void *context);

/* Registered menu commands. */
STANDIN_API int32_t StandinMenuCount(void);
STANDIN_API const MenuEntryRecord *StandinMenuEntry(int32_t index);

/* Host globals: the current year (0: the machine's), the state flag word, the
 * current warehouse number. */
STANDIN_API void StandinSetCurrentYear(int16_t year);
STANDIN_API void StandinSetStateFlags(uint16_t flags);
STANDIN_API uint16_t StandinStateFlags(void);
STANDIN_API int16_t StandinCurrentWarehouse(void);

/* The character that the conversion into the file-name set (code 0) gives a
 * character the set lacks: '_' until reset; a host built on Windows' conversions
 * gives '?'. */
STANDIN_API void StandinSetFileNameFallback(char c);
/* Non-zero: the conversion into the file-name set renders the bytes 0x01-0x1F as the
 * glyphs a DOS code page shows for them, as a host whose conversion follows those
 * glyphs does: 0x14 and 0x15 as Windows-1250's '\xB6' and '\xA7' (pilcrow and
 * section sign), the others as the fallback. Off until reset. */
STANDIN_API void StandinSetControlGlyphs(int32_t on);
/* Non-zero: a host with goods tables for stocked warehouses only. VeldarPrepareKey
 * leaves the table slot as it is for any other warehouse, and a goods cursor walks
 * the table it is given, whatever warehouse its key names. Off until reset. */
STANDIN_API void StandinSetGoodsTablesOnlyStocked(int32_t on);

/* Fault injection: the callIndex-th VeldarResizeBlock call from now fails (0: none). */
STANDIN_API void StandinFailResizeCall(uint32_t callIndex);
/* Files: opening the file called name opens target instead, for instance a device
 * that is always full ("/dev/full", under Wine "Z:\\dev\\full"). A null name clears
 * every redirection. */
STANDIN_API void StandinRedirectFile(const char *name, const char *target);
/* Fault injection: the n-th VeldarFilePrintf into a file opened from now on under
 * name writes nothing and gives -1, while its close succeeds (0: none). */
STANDIN_API void StandinFailFilePrintf(const char *name, uint32_t n);

/* Heap blocks handed out by VeldarResizeBlock and not yet freed. */
STANDIN_API int64_t StandinLiveBlocks(void);
/* The bytes those blocks hold (as asked for), now and at most since the last reset
 * or StandinResetPeakBytes. */
STANDIN_API int64_t StandinLiveBytes(void);
STANDIN_API int64_t StandinPeakBytes(void);
STANDIN_API void StandinResetPeakBytes(void);

/* Why a UTF-8 text cannot become a host text, or null when it can: what (say
 * "--outlet") and a character Mazovia has not got, a control character or a byte
 * that is not UTF-8, named with its column ("--outlet holds U+20AC '€' at column 2,
 * which Mazovia has not got"). Valid until the next call. */
STANDIN_API const char *StandinHostTextError(const char *utf8, const char *what);

/* A host text (Mazovia with the host's control bytes) as UTF-8 for a console:
 * emphasis marks dropped, tab-stop directives applied. Returns the length written
 * (without the terminator), at most size - 1. */
STANDIN_API uint32_t StandinRenderText(const char *text, char *out, uint32_t size);

/* ---- sales data ---- */

/* Loads a month of sales data from a data-set file (UTF-8 text, see docs/dataset.md):
 * documents, lines, goods per warehouse, goods groups and, when the file names it,
 * the current year. Returns null when loaded; otherwise the first error as
 * "FILE:LINE: message" (UTF-8), valid until the next load, and nothing changed. */
STANDIN_API const char *StandinLoadDataset(const char *path);
/* The same from a text in memory; name stands for the file in error messages. */
STANDIN_API const char *StandinLoadDatasetText(const char *text, const char *name);

/* Overwrites bytes of a stored record, for records no data set can express (a text
 * field without its terminator, say). table 44: the header of document key; 45: line
 * index of document key; 4: goods index of warehouse key. 1 done, 0 out of range. */
STANDIN_API int32_t StandinPatchRecord(int32_t table, int32_t key, int32_t index, uint32_t offset, const void *bytes,
                                       uint32_t length);

/* Cursor use since the last reset. A misuse is a fetch or close of a cursor that is
 * not open, an open of one already open, or a table, kind and key that do not fit. */
struct StandinCursorStats {
    uint32_t opened;
    uint32_t fetched;
    uint32_t closed;
    int32_t openNow;
    int32_t mostOpen; /* most cursors open at one time */
    uint32_t misuses;
};
STANDIN_API void StandinGetCursorStats(struct StandinCursorStats *stats);

/* The goods groups the host knows (from the data set), in the data set's order: the
 * Mazovia name of the index-th group and its number, or null past the last one. */
STANDIN_API const char *StandinGoodsGroup(int32_t index, int16_t *number);
/* The form engine (VeldarRunForm). By default a form runs from a script: the
 * actions added here, applied in order through the same key handling as the
 * terminal, then F12 if the form is still open. The script is used up by the next
 * form. Actions (ids in C notation, texts in UTF-8):
 *   select ID N    choose item N (0-based) of a list      key NAME   one key: F2..F5, F12,
 *   type ID TEXT   replace an edit field's text                      Tab, BackTab, Up, Down,
 *   check ID 0|1   set a check box                                   Left, Right, Home, End,
 *   press ID       press a button                                    Enter, Esc, Backspace,
 *   pick N,N,..|none  the answer of the next interactive              Delete, Space or a
 *                  goods-group picker                                 single character
 * Returns 0 for an action it cannot read. */
STANDIN_API int32_t StandinFormScriptAdd(const char *action);
/* Run forms in the terminal instead (keys from standard input). */
STANDIN_API void StandinFormInteractive(int32_t on);
/* Print each form to standard output, values filled in, as it closes. */
STANDIN_API void StandinFormShow(int32_t on);
/* Why the last form was refused (malformed template, unknown entries) or ended by
 * the engine (a script that could not be applied); "" when it ran normally. */
STANDIN_API const char *StandinFormError(void);
/* The last form as it closed, one line per row, UTF-8. */
STANDIN_API const char *StandinFormPicture(void);
/* A goods group the host knows (name in Mazovia), for the goods-group picker. */
STANDIN_API void StandinAddGoodsGroup(int16_t number, const char *name);

/* Files the plug-in opened (VeldarFileOpen) and has not closed since the last reset:
 * how many, and the index-th one's name as it gave it (null past the last one). */
STANDIN_API int32_t StandinOpenFileCount(void);
STANDIN_API const char *StandinOpenFile(int32_t index);

/* The text files the plug-in opened for writing since the last reset, in the order first
 * opened (names as it gave them): the index-th, or null past the last one. */
STANDIN_API const char *StandinWrittenFile(int32_t index);

/* ---- how the host enters the plug-in, and what it checks of it ---- */

/* Where the stack pointer stands, mod 16, when the host program and the form
 * engine call into the plug-in (at the call, where the first argument lies): 4
 * after a reset, as a host built by another compiler may leave it (the i386
 * convention promises 4-byte alignment only); 0 is what GCC assumes. residue is 0,
 * 4, 8 or 12. Returns 1 when calls follow it (the i386 Windows build), 0 when they
 * cannot (natively calls enter as the platform's convention has it) or the residue
 * is none of those. */
STANDIN_API int32_t StandinSetEntryStack(int32_t residue);

#if defined(_WIN32)
/* Calls target with count 32-bit argument slots (args[0] the first argument) and
 * self in ECX, the stack at the residue set above; convention 0 cdecl, 1 stdcall,
 * 2 thiscall (see plugin_entry.h). A callee that removes other than its convention's
 * bytes is a fault (below). Returns EAX. */
STANDIN_API uint32_t StandinEnterPlugin(const void *target, int32_t convention, void *self, const uint32_t *args,
                                        uint32_t count);
#endif

/* Faults of the plug-in against the host interface beyond cursor misuse: a key
 * block, cursor block or callback binder that is not 8-aligned, an entry that
 * removed other than its convention's argument bytes. Each is said on standard
 * error (the first few) and counted since the last reset; the first ones are kept
 * as texts: the index-th, or null past the last kept. */
STANDIN_API int32_t StandinFaultCount(void);
STANDIN_API const char *StandinFault(int32_t index);
/* How many key blocks, cursor blocks and binders the host checked for alignment
 * since the last reset (one per call that received one). */
STANDIN_API uint32_t StandinBlocksChecked(void);
