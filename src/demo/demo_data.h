#pragma once

class AppContext;

// Fills the current book with realistic customers, suppliers and goods,
// with groups, classes, units and a few pictures: for screenshots and for
// measuring the lists with many rows.
class DemoData {
public:
    struct Counts {
        int customers = 0;
        int suppliers = 0;
        int goods = 0;
        int pictures = 12;
    };
    static void fill(AppContext& context, const Counts& counts);
};
