// For targets that link the plug-in's code: binds it to the stand-in host library
// loaded with the program, as the attach step does for the real plug-in.
#pragma once

#include "frame.h"
#include "fuzz_support.h"
#include "veldar.h"
#include "winshim.h"

inline void FuzzBindPlugin() {
    static void *const host = pim::hostModule = GetModuleHandleA("VELDAR");
    FUZZ_CHECK(host != nullptr, "the stand-in host library is not loaded");
    FuzzResetHost();
}
