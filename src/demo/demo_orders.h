#pragma once

#include <QtGlobal>

class AppContext;
class Database;

// Ten years of a window-and-door maker's order forms (收款收据) in the
// current book, made reproducibly from a fixed seed: orders dated evenly
// from ten years before today up to today, each with 2 to 30 goods rows
// whose names, units, series, colours, glass and locks are values of the
// code lists of Dusmere_Order_Form_Detail (sizes, units and prices after
// the goods names' defaults; some quantities with decimals; the amount is
// price times quantity to the cent). The customers are those of
// customer_provider; a book without any receives a few hundred, in groups,
// first. Most orders have the forms made from them, as OrderFormGenerator
// writes them: a work form per goods series, the ware-out form with its
// goods and lock texts (computed by the generator itself) and the shipment
// form. Numbers take the program's form after any the book holds, and the
// counters of order numbers, goods codes, work-form numbers and customer
// codes are left so that the program goes on after the demo. Everything is
// written with prepared statements in one transaction.
class DemoOrders {
public:
    struct Made {
        int orders = 0;
        qint64 rows = 0;
        int workForms = 0;
        int wareOutForms = 0;
        int shipmentForms = 0;
        int customers = 0;  // made because the book had none
    };
    static constexpr int kCustomers = 300;
    static constexpr int kMinRows = 2;
    static constexpr int kMaxRows = 30;

    // Throws UserError when the goods-name or unit code list offers no
    // value, and when a day would need more than 9999 numbers.
    static Made fill(AppContext& context, int orders);
    // The first refusal of fill(), for a caller that writes other demo
    // rows before it: throws UserError when the goods-name or unit code
    // list offers no value.
    static void requireCodeLists(Database& db);
};
