#pragma once

#include "data/dataset.h"

class Database;

// The company using the book: its one Sys_Corp row, read-only until "修改",
// written by "保存" (and on closing while editing), restored by "取消修改".
class CompanyInfoEditor {
public:
    explicit CompanyInfoEditor(Database& db);

    void open();
    Dataset& corp() { return m_corp; }
    bool isEditing() const { return m_editing; }
    bool isChanged() const { return m_corp.hasChanges(); }

    void edit();
    void save();
    void cancel();
    // Closing saves exactly when the user pressed "修改" and has not saved
    // or cancelled since.
    void close();

private:
    Dataset m_corp;
    bool m_editing = false;
};
