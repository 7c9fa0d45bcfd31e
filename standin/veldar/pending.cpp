// Host functions whose stand-in behaviour is not built yet. Each says so on the
// console and returns the host's "nothing" result, never a success.
#include <cstdio>

#include "exports.h"
#include "state.h"

namespace {
void NotBuilt(uint32_t ordinal) {
    standin::Called(ordinal);
    std::fprintf(stderr, "stand-in: host function %u is not available yet\n", static_cast<unsigned>(ordinal));
}
}  // namespace

int32_t HOST_CONV_STDCALL VeldarPrepareKey(int32_t, HostTable **, void *, int32_t) { NotBuilt(kOrd_VeldarPrepareKey); return 0; }
int16_t HOST_CONV_STDCALL VeldarLineKindOf(int32_t) { NotBuilt(kOrd_VeldarLineKindOf); return 0; }
int32_t HOST_CONV_STDCALL VeldarOpenCursor(void *, HostTable *, int32_t, void *, int32_t, int32_t) { NotBuilt(kOrd_VeldarOpenCursor); return 0; }
int32_t HOST_CONV_STDCALL VeldarFetchNext(void *) { NotBuilt(kOrd_VeldarFetchNext); return 0; }
int32_t HOST_CONV_STDCALL VeldarCloseCursor(void *) { NotBuilt(kOrd_VeldarCloseCursor); return 0; }
