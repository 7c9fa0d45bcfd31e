// The collection of a month's sales. Not built yet: the lists stay empty.
#include "report.h"

namespace pim {
int32_t CRaportSprzPapierosow::CollectItems() { return 0; }
int32_t CRaportSprzPapierosow::CollectOutlets(int16_t) { return 0; }
int32_t CRaportSprzPapierosow::CollectSales(int16_t) { return 0; }
int32_t CRaportSprzPapierosow::AddItem(const uint8_t *) { return 1; }
int32_t CRaportSprzPapierosow::AddOutlet(const uint8_t *) { return 1; }
int32_t CRaportSprzPapierosow::AddOutletItem(const uint8_t *, int32_t, int32_t) { return 1; }
int32_t CRaportSprzPapierosow::IsDateInRange(const char *, const char *, const char *) { return 0; }
}  // namespace pim
