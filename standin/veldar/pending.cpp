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

void HOST_CONV_THISCALL VeldarCallbackBinderConstruct(void *, void *, void *) { NotBuilt(kOrd_VeldarCallbackBinderConstruct); }
void HOST_CONV_THISCALL VeldarCallbackBinderDestruct(void *) { NotBuilt(kOrd_VeldarCallbackBinderDestruct); }
int16_t HOST_CONV_STDCALL VeldarRunForm(const void *, int32_t, void *, void *, void *) { NotBuilt(kOrd_VeldarRunForm); return 0; }
int32_t HOST_CONV_STDCALL VeldarSetFormFlags(int32_t, uint32_t, int32_t) { NotBuilt(kOrd_VeldarSetFormFlags); return 0; }
int32_t HOST_CONV_STDCALL VeldarGetControlValue(int32_t) { NotBuilt(kOrd_VeldarGetControlValue); return 0; }
int32_t HOST_CONV_STDCALL VeldarPickGoodsGroups(int16_t *, int32_t, int32_t) { NotBuilt(kOrd_VeldarPickGoodsGroups); return 0; }
