#pragma once
// The catalogue's lists of records, in the order they are kept. The array of a large list lies
// in huge pages (LargeArray.h).
#include <memory>
#include <vector>

#include "platform/LargeArray.h"

template <class Record>
using RecordList = std::vector<std::unique_ptr<Record>, LargeArrayAllocator<std::unique_ptr<Record>>>;
