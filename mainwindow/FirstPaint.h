#pragma once
// What waits for the ROM list's first paint: work that may come after the list is on screen, and
// `Tarnwick --measure-startup`, with which the program starts as always and ends at once after
// that paint, writing nothing, so that a benchmark can time the real start-up path from outside.
#include <functional>
#include <initializer_list>

class QAbstractItemView;
class QWidget;

// Runs `then` from the event loop once the first of `widgets` has painted (never, when none
// paints).
void AfterFirstPaint(std::initializer_list<QWidget*> widgets, std::function<void()> then);

// True when the command line asks for the measurement.
bool StartupMeasureAsked(int argc, char** argv);
// Ends the process right after the first paint of either view of the list.
void EndAfterFirstPaint(QAbstractItemView* report, QAbstractItemView* icons);
