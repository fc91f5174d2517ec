// SPDX-License-Identifier: GPL-3.0-or-later
// An AVI as any file may be: read, and when it can be repaired, the repair
// is complete (a second one finds nothing to do and the same record) and
// the bytes as recorded come back from the repaired file and its tag. The
// same bytes read as a repair tag parse strictly and write back the same.
#include "capture/avi_repair.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace kestle::capture;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const auto tag = parseRepairTag(bytes)) {
        const auto again = parseRepairTag(repairTagText(*tag));
        FUZZ_CHECK(again && again->sameAs(*tag));
    }

    MemoryAviSource src(bytes);
    const auto plan = planAviRepair(src);
    if (!plan || plan->repair.outcome != AviRepair::Outcome::Repaired)
        return 0;
    const AviRepair& r = plan->repair;
    FUZZ_CHECK(r.recordedSize == size && r.frames > 0 && r.tailBytes <= size);
    const std::string repaired = applyAviRepair(bytes, *plan);
    FUZZ_CHECK(repaired.size() == r.repairedSize && repaired.size() % 2 == 0);

    MemoryAviSource again(repaired);
    const auto second = planAviRepair(again);
    FUZZ_CHECK(second && second->repair.outcome == AviRepair::Outcome::AlreadyRepaired &&
               second->repair.sameAs(r));
    const auto restored = restoreRecordedBytes(repaired, r);
    FUZZ_CHECK(restored && *restored == bytes);
    return 0;
}
