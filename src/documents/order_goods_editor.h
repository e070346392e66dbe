#pragma once

#include <QString>
#include <functional>

class Database;
class OrderFormDocument;
class Prompter;

// One goods row of an order form being edited in the order's unsaved
// rows: a new row (just appended) or an existing one. It checks the row,
// takes it into the order's rows, drops it again on cancel, and starts the
// next new row. Nothing is written to the book here: the order saves.
class OrderGoodsEditor {
public:
    enum Mode { New = 2, Existing = 3 };

    // New appends a row to the order and edits it; Existing edits the
    // order's current row.
    OrderGoodsEditor(OrderFormDocument& order, Prompter& prompter, int mode);

    int mode() const { return m_mode; }
    // The goods code may be typed until the row is first taken.
    bool codeEditable() const { return m_codeEditable; }
    // A new row, or changes not yet taken into the order's rows.
    bool isChanged() const;

    // Shows the first fault in the system's order; false when invalid.
    bool validate();
    // Takes a changed, valid row into the order's rows; false when invalid.
    bool save();
    // Drops the changes; a new row is removed from the order.
    void cancel();
    // "保存并关闭": true when the window may close.
    bool saveAndClose();
    // "关闭" and the close box: asks about a changed row; true when the
    // window may close. `save` is how the caller saves on Yes (through its
    // permission check); by default save() itself.
    bool close(const std::function<bool()>& save = {});
    // "增加下个商品": takes the row (false when it is invalid) and starts the
    // next new row.
    bool addNext();

    static QString closeQuestion() { return QStringLiteral("该货品内容已更改，是否要保存？"); }

private:
    OrderFormDocument& m_order;
    Prompter& m_prompter;
    int m_mode;
    bool m_codeEditable;
    // The rows' dirty mark before this row was started or last taken: a
    // new row dropped again leaves the order as unchanged as it was.
    int m_tagBefore;
};
