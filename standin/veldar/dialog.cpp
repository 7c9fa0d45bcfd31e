// The dialog base class of the stand-in: its constructor, destructor, inherited
// members and virtual operations.
#include "exports.h"
#include "state.h"

extern "C" {
// Inherited members and virtual operations: the stand-in's form engine calls none
// of them, so each one does nothing.
#define HOST_FN(ord, name, conv, bytes, ret, params, args)
#define HOST_ADDR(ord, name) \
    void HOST_CONV_THISCALL name(void *) { standin::Called(ord); }
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params)
#define HOST_ATTACH(ord, name, conv, bytes, ret, params)
#include "host_functions.inc"
}

namespace {

void HOST_CONV_THISCALL BaseDeletingDestructor(void *self) { WDialogBaseDestruct(self); }
int32_t HOST_CONV_THISCALL BaseOnFormEvent(void *, int16_t, int16_t) { return 0; }

// The base class's virtual table: deleting destructor, event handler, then the 30
// inherited operations.
void *const kBaseVtable[32] = {
    reinterpret_cast<void *>(&BaseDeletingDestructor), reinterpret_cast<void *>(&BaseOnFormEvent),
    reinterpret_cast<void *>(&WDialogBaseVirtual20958), reinterpret_cast<void *>(&WDialogBaseVirtual20959),
    reinterpret_cast<void *>(&WDialogBaseVirtual20960), reinterpret_cast<void *>(&WDialogBaseVirtual20961),
    reinterpret_cast<void *>(&WDialogBaseVirtual20962), reinterpret_cast<void *>(&WDialogBaseVirtual20963),
    reinterpret_cast<void *>(&WDialogBaseVirtual20964), reinterpret_cast<void *>(&WDialogBaseVirtual20965),
    reinterpret_cast<void *>(&WDialogBaseVirtual20966), reinterpret_cast<void *>(&WDialogBaseVirtual20957),
    reinterpret_cast<void *>(&WDialogBaseVirtual20948), reinterpret_cast<void *>(&WDialogBaseVirtual20949),
    reinterpret_cast<void *>(&WDialogBaseVirtual20950), reinterpret_cast<void *>(&WDialogBaseVirtual20951),
    reinterpret_cast<void *>(&WDialogBaseVirtual20952), reinterpret_cast<void *>(&WDialogBaseVirtual20953),
    reinterpret_cast<void *>(&WDialogBaseVirtual20954), reinterpret_cast<void *>(&WDialogBaseVirtual20955),
    reinterpret_cast<void *>(&WDialogBaseVirtual20956), reinterpret_cast<void *>(&WDialogBaseVirtual20947),
    reinterpret_cast<void *>(&WDialogBaseVirtual20938), reinterpret_cast<void *>(&WDialogBaseVirtual20939),
    reinterpret_cast<void *>(&WDialogBaseVirtual20940), reinterpret_cast<void *>(&WDialogBaseVirtual20941),
    reinterpret_cast<void *>(&WDialogBaseVirtual20942), reinterpret_cast<void *>(&WDialogBaseVirtual20943),
    reinterpret_cast<void *>(&WDialogBaseVirtual20944), reinterpret_cast<void *>(&WDialogBaseVirtual20945),
    reinterpret_cast<void *>(&WDialogBaseVirtual20946), reinterpret_cast<void *>(&WDialogBaseVirtual20937),
};

}  // namespace

void HOST_CONV_THISCALL WDialogBaseConstruct(void *self) {
    standin::Called(kOrd_WDialogBaseConstruct, standin::Address(self));
    *static_cast<void *const **>(self) = kBaseVtable;
}

void HOST_CONV_THISCALL WDialogBaseDestruct(void *self) {
    standin::Called(kOrd_WDialogBaseDestruct, standin::Address(self));
    *static_cast<void *const **>(self) = kBaseVtable;
}
