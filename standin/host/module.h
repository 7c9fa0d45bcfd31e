// Loading a plug-in and finding its exports by ordinal, on Windows and natively.
#pragma once

#include <cstdint>
#include <string>

#include "host_api.h"

namespace standin {

void *LoadModule(const std::string &path);
void *ModuleOrdinal(void *module, uint16_t ordinal);
void UnloadModule(void *module);
// Where the plug-in lies by default: beside the running program.
std::string DefaultPluginPath();
// A file in the directory of the running program.
std::string BesideProgram(const std::string &fileName);

// The plug-in's exports.
using PluginConnectFn = int32_t(HOST_CONV_STDCALL *)(void *host, char *nameBuffer);
using PluginSetupFn = int32_t(HOST_CONV_STDCALL *)(int32_t flag);
using PluginHookFn = void (*)(void);

}  // namespace standin
