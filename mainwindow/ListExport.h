#pragma once
// The ROM list as a CSV table: the Report view's column captions, then one record per row of
// the model given (the rows the list shows, in their order), UTF-8.

#include <QAbstractItemModel>
#include <string>

std::string ListAsCsv(const QAbstractItemModel& shown);
