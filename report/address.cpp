// The address split. Not built yet: all three parts stay empty.
#include "report.h"

namespace pim {
void CRaportSprzPapierosow::SplitAddress(const char *, char *street, char *postalCode, char *city) {
    street[0] = postalCode[0] = city[0] = '\0';
}
}  // namespace pim
