// The report's lists beyond the operations of the report object itself.
#pragma once

#include "report.h"

namespace pim {

// Releases the report's lists to the host's heap: the item list first, then the
// item array of every outlet row, then the outlet list; leaves them empty. Called by
// the report object's destructor; a second call finds nothing to release.
void ReleaseLists(CRaportSprzPapierosow &report);

}  // namespace pim
