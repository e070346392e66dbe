#include "documents/payout_editor.h"

#include "data/dataset.h"
#include "documents/payout_list.h"
#include "platform/prompter.h"

namespace {
bool blank(const QVariant& v) {
    return v.isNull() || v.toString().trimmed().isEmpty();
}
}  // namespace

PayoutEditor::PayoutEditor(PayoutList& list, Prompter& prompter, const QDate& today, int mode)
    : m_list(list), m_prompter(prompter), m_today(today), m_mode(mode == New ? New : Existing) {
    if (m_mode == New) {
        m_list.addRow(m_today);
    }
}

bool PayoutEditor::isChanged() const {
    const Dataset& rows = m_list.rows();
    return m_mode == New || rows.isEditing() || rows.hasChanges();
}

bool PayoutEditor::validate() {
    Dataset& rows = m_list.rows();
    if (rows.isEmpty()) {
        return false;
    }
    if (rows.isEditing()) {
        rows.post();
    }
    QString missing;
    if (blank(rows.value("subject"))) {
        missing += QStringLiteral("费用名目,");
    }
    if (rows.value("paytime").isNull()) {
        missing += QStringLiteral("费用发生日期,");
    }
    if (!missing.isEmpty()) {
        missing.chop(1);
        m_prompter.inform(QStringLiteral("请填写[%1]").arg(missing));
        return false;
    }
    // A payout is its amount: one without is not written.
    const QVariant amount = rows.value("totalprice");
    if (amount.isNull()) {
        m_prompter.inform(QStringLiteral("请填写[支出金额]"));
        return false;
    }
    {
        bool ok = false;
        const qint64 value = amount.toLongLong(&ok);
        if (!ok) {
            m_prompter.inform(QStringLiteral("支出金额必须是整数"));
            return false;
        }
        if (value < 0) {
            m_prompter.inform(QStringLiteral("支出金额不能是负数"));
            return false;
        }
        if (value > kMaxAmount) {
            m_prompter.inform(QStringLiteral("支出金额不能超过%1").arg(kMaxAmount));
            return false;
        }
    }
    return true;
}

bool PayoutEditor::save() {
    if (!isChanged()) {
        return true;
    }
    if (!validate()) {
        return false;
    }
    Dataset& rows = m_list.rows();
    rows.applyUpdates();
    rows.setTag(0);
    m_mode = Existing;
    return true;
}

void PayoutEditor::cancel() {
    if (!isChanged()) {
        return;
    }
    Dataset& rows = m_list.rows();
    if (rows.isEditing()) {
        rows.cancel();
    }
    // The batch holds only this payout: what was written before is saved.
    rows.cancelUpdates();
    rows.setTag(0);
    m_mode = Existing;
}

bool PayoutEditor::saveAndClose() {
    return save();
}

bool PayoutEditor::close(const std::function<bool()>& save) {
    if (!isChanged()) {
        return true;
    }
    // A question closed without an answer goes back to the editing.
    return settleUnsavedChanges(
        m_prompter, closeQuestion(), [this, &save] { return save ? save() : this->save(); }, [this] { cancel(); });
}

bool PayoutEditor::addNext() {
    if (!save()) {
        return false;
    }
    m_list.addRow(m_today);
    m_mode = New;
    return true;
}
