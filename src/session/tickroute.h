#pragma once

#include <functional>

// Where a runner's timer hands its tick: nowhere set, the tick runs at once; a program that
// shares the line routes it through its queue, which may run it or skip it.
using TickRoute = std::function<void(const std::function<void()> &tick)>;
