// The stand-in's definitions of the host library functions, declared from the one
// list so that every definition is checked against it.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "host_api.h"

extern "C" {
#define HOST_FN(ord, name, conv, bytes, ret, params, args) ret HOST_CONV_##conv name params;
#define HOST_ADDR(ord, name) void HOST_CONV_THISCALL name(void *self);
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params) ret HOST_CONV_##conv name params;
#define HOST_ATTACH(ord, name, conv, bytes, ret, params) ret HOST_CONV_##conv name params;
#include "host_functions.inc"
}
