// The options file. Not built yet: the options stay all zero and are not saved.
#include "report.h"

namespace pim {
int32_t CRaportSprzPapierosow::LoadOptions() { return 1; }
int32_t CRaportSprzPapierosow::SaveOptions() { return 1; }
}  // namespace pim
