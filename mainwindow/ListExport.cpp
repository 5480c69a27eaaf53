#include "mainwindow/ListExport.h"

#include <vector>

#include "catalogue/Upkeep.h"

std::string ListAsCsv(const QAbstractItemModel& shown) {
    const int columns = shown.columnCount();
    std::vector<std::string> fields(columns);
    for (int c = 0; c < columns; ++c)
        fields[c] = shown.headerData(c, Qt::Horizontal).toString().toStdString();
    std::string csv = CsvRecord(fields);
    for (int r = 0; r < shown.rowCount(); ++r) {
        for (int c = 0; c < columns; ++c) fields[c] = shown.data(shown.index(r, c)).toString().toStdString();
        csv += CsvRecord(fields);
    }
    return csv;
}
