#pragma once
// `Tarnwick --measure-startup`: the program starts as always and ends at once after the ROM
// list's first paint, writing nothing, so that a benchmark can time the real start-up path from
// outside.
class QAbstractItemView;

// True when the command line asks for the measurement.
bool StartupMeasureAsked(int argc, char** argv);
// Ends the process right after the first paint of either view of the list.
void EndAfterFirstPaint(QAbstractItemView* report, QAbstractItemView* icons);
