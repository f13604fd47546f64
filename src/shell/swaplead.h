#pragma once
// How long a frame takes from reading the music position to reaching the
// screen (drawing, then the swap and its wait for the next refresh). The
// picture is seen that much after the position it shows was read, so the
// demo shows the position for the moment of the swap: the music clock runs
// this much ahead. Smoothed over the last frames; one slow frame (a stall,
// a window being moved) moves it little.
class SwapLead {
public:
    // One frame's time from reading the position to the swap, in seconds.
    void add(double seconds);
    double seconds() const { return estimate_; }

private:
    double estimate_ = 0;
    bool started_ = false;
};
