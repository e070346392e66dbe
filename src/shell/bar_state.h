#pragma once

#include <array>

// The five picture buttons of the main window's bar: each normal (1), hot
// (2, under the mouse) or active (3, its page shown).
class BarState {
public:
    enum State { Normal = 1, Hot = 2, Active = 3 };

    BarState();
    State state(int n) const { return valid(n) ? m_states[n - 1] : Normal; }
    // After a click on button n: when its command ran, it becomes active
    // and every other non-normal button normal; when it did not, only hot
    // buttons return to normal.
    void clicked(int n, bool ran);
    // The pointer moved over button n at (x, y) of the button: a normal
    // button turns hot, other hot buttons turn normal; outside the hot
    // area (x 10..140, y 10..40) the hot button turns normal again.
    void hovered(int n, int x, int y);
    void leave();
    void activate(int n);

private:
    static bool valid(int n) { return n >= 1 && n <= 5; }
    std::array<State, 5> m_states;
};
