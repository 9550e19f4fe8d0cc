#pragma once

// How a text longer than the chain moves across it: one step every rateMs; it ends after its
// passes or its seconds, whichever comes first (0: not by that limit; both 0: until replaced).
struct ScrollTiming
{
    int rateMs = 300;
    int passes = 0;
    int seconds = 0;
};
