#include "master/price_cell_edit.h"

#include "reports/engine/report_expression.h"

PriceCellEdit::PriceCellEdit(const QString& cell, QWidget* parent) : QLineEdit(parent), m_cell(cell) {
    setObjectName(cell);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setMaxLength(40);
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (isEdited()) {
            emit edited(text());
        }
    });
}

void PriceCellEdit::setValue(const QVariant& value) {
    m_value = value;
    show(hasFocus());
}

QString PriceCellEdit::editText() const {
    return m_value.isNull() ? QString() : m_value.toString();
}

QString PriceCellEdit::shownText() const {
    return formatReportValue(m_value, QStringLiteral("#,##0.00"));
}

bool PriceCellEdit::isEdited() const {
    const QString t = text().trimmed();
    return t != editText() && t != shownText();
}

void PriceCellEdit::revert() {
    show(hasFocus());
}

void PriceCellEdit::show(bool editing) {
    setText(editing ? editText() : shownText());
}

void PriceCellEdit::focusInEvent(QFocusEvent* event) {
    // Only an unchanged cell turns to its digits: a refused text stays to
    // be corrected.
    if (!isEdited()) {
        show(true);
    }
    QLineEdit::focusInEvent(event);
    selectAll();
}

void PriceCellEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A refused text gives the focus back while it is being taken: the
    // cell then shows its digits again.
    if (!isEdited() && !hasFocus()) {
        show(false);
    }
}
