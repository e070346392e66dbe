#include "admin/company_info_editor.h"

CompanyInfoEditor::CompanyInfoEditor(Database& db) : m_corp(db) {}

void CompanyInfoEditor::open() {
    m_corp.openTable("Sys_Corp", "id");
    if (m_corp.isEmpty()) {
        // A book without its row gets one, so that there is something to edit.
        m_corp.append();
        m_corp.setValue("Corp_name", QString());
        m_corp.applyUpdates();
    }
    m_corp.first();
    m_editing = false;
}

void CompanyInfoEditor::edit() {
    m_editing = true;
}

void CompanyInfoEditor::save() {
    if (!m_editing) {
        return;
    }
    m_corp.applyUpdates();
    m_editing = false;
}

void CompanyInfoEditor::cancel() {
    if (!m_editing) {
        return;
    }
    m_corp.cancelUpdates();
    m_editing = false;
}

void CompanyInfoEditor::close() {
    save();
}
