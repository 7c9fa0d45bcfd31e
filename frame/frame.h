// The plug-in frame: process-wide state set by the attach step, the display name,
// the menu command, the install notice and the record-size check.
#pragma once

#include <cstdint>

#include "host_api.h"

namespace pim {

// Set by the attach step.
extern void *pluginModule;
extern char pluginPath[300];
extern void *hostModule;

constexpr uint32_t kReportCommandId = 0x7923;
constexpr int kDisplayNameBuffer = 142;

extern const MenuEntryRecord menuEntry;

// Copies the plug-in's 141-character display name, terminator included, into a
// buffer of at least 142 bytes; returns the buffer.
char *CopyDisplayName(char *buffer);

// The attach step: run for every attach and detach notification, on process attach
// before the runtime initialises itself. Uses operating-system calls only.
int AttachStep(void *module, uint32_t reason, void *reserved);

void ShowInstallNotice();

// Record-size check of the host tables the report reads.
struct TableSizeRecord {
    int32_t pluginSize;
    int32_t hostSize;
    const char *tableName;
    TableSizeRecord *next;
};
int32_t RegisterTableSizes();
void AddTableSizeRecord(TableSizeRecord *record);
int32_t CountTableSizeRecords();
void ShowRefusalReport();

}  // namespace pim

// The menu command's handler (the report command).
extern "C" int32_t HOST_CONV_STDCALL OnReportCommand(void);
