#include "shell/bar_state.h"

BarState::BarState() {
    m_states.fill(Normal);
}

void BarState::activate(int n) {
    if (!valid(n)) {
        return;
    }
    for (State& s : m_states) {
        s = Normal;
    }
    m_states[n - 1] = Active;
}

void BarState::clicked(int n, bool ran) {
    if (!valid(n)) {
        return;
    }
    if (ran) {
        activate(n);
        return;
    }
    for (State& s : m_states) {
        if (s == Hot) {
            s = Normal;
        }
    }
}

void BarState::hovered(int n, int x, int y) {
    if (!valid(n)) {
        return;
    }
    if (m_states[n - 1] == Normal) {
        m_states[n - 1] = Hot;
        for (int i = 0; i < 5; ++i) {
            if (i != n - 1 && m_states[i] == Hot) {
                m_states[i] = Normal;
            }
        }
    }
    const bool inside = x >= 10 && x <= 140 && y >= 10 && y <= 40;
    if (!inside && m_states[n - 1] == Hot) {
        m_states[n - 1] = Normal;
    }
}

void BarState::leave() {
    for (State& s : m_states) {
        if (s == Hot) {
            s = Normal;
        }
    }
}
