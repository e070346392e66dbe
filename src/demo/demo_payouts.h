#pragma once

#include <QtGlobal>
#include <array>

class AppContext;

// Ten years of a small company's payouts in the current book, made
// reproducibly from a fixed seed: payouts dated evenly from ten years
// before today up to today, of the four kinds of the code list 费用名目
// ("0" 运输费, "1" 工资, "2" 日杂费, "3" 汇款) in the shares a trading company
// has them: transport and sundries often and small, wages paid on the
// tenth of the month for the month before and larger (rising over the
// years), remittances now and then and large. Amounts are whole units;
// remarks come from a short list per kind, so that the statistics' remark
// filter finds many payouts for each, and a few payouts have none. Written
// with one prepared statement in one transaction: all or nothing.
class DemoPayouts {
public:
    struct Made {
        int payouts = 0;
        std::array<int, 4> ofKind{};  // by subject "0" to "3"
        qint64 amount = 0;
    };

    static Made fill(AppContext& context, int payouts);
};
