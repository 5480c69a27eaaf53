#pragma once
// Deleting members from an archive, all or nothing.
#include "engines/EngineApi.h"
#include "engines/common/Reporter.h"

#include <cstdint>

// Returns the number of members deleted (0 when the archive was left as it was).
int32_t RunDelete(const ZipExecRecord& record, EngineReporter& reporter);
