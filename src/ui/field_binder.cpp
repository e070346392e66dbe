#include "ui/field_binder.h"

#include "data/dataset.h"
#include "platform/errors.h"
#include "ui/editors.h"

FieldBinder::FieldBinder(Dataset* dataset, QObject* parent) : QObject(parent), m_dataset(dataset) {
    connect(dataset, &Dataset::currentRowChanged, this, &FieldBinder::refresh);
    connect(dataset, &Dataset::resetDone, this, &FieldBinder::refresh);
    connect(dataset, &Dataset::rowChanged, this, [this](int row) {
        if (row == m_dataset->currentRow()) {
            refresh();
        }
    });
    connect(dataset, &Dataset::stateChanged, this, &FieldBinder::refresh);
}

void FieldBinder::bind(QWidget* editor, const QString& field) {
    Link link{editor, field};
    m_links.append(link);
    if (auto* e = qobject_cast<NumberEdit*>(editor)) {
        const int f = m_dataset->fieldIndex(field);
        if (f >= 0 && m_dataset->fields()[f].type == FieldDef::Type::Decimal) {
            e->setDecimals(m_dataset->fields()[f].scale);
        } else if (f >= 0 && m_dataset->fields()[f].type == FieldDef::Type::Integer) {
            e->setDecimals(0);
        }
        connect(e, &NumberEdit::valueEdited, this, [this, e, field] { write(e, field, e->value()); });
    } else if (auto* e = qobject_cast<QLineEdit*>(editor)) {
        const int f = m_dataset->fieldIndex(field);
        if (f >= 0 && m_dataset->fields()[f].size > 0) {
            e->setMaxLength(m_dataset->fields()[f].size);
        }
        connect(e, &QLineEdit::textEdited, this, [this, e, field](const QString& t) { write(e, field, t); });
    } else if (auto* e = qobject_cast<NullableDateEdit*>(editor)) {
        connect(e, &NullableDateEdit::valueEdited, this, [this, e, field] { write(e, field, e->value()); });
    } else if (auto* e = qobject_cast<LookupCombo*>(editor)) {
        connect(e, &LookupCombo::valueEdited, this, [this, e, field] { write(e, field, e->value()); });
    } else if (auto* e = qobject_cast<MemoEdit*>(editor)) {
        connect(e, &MemoEdit::valueEdited, this, [this, e, field] { write(e, field, e->value()); });
    } else if (auto* e = qobject_cast<CheckEdit*>(editor)) {
        connect(e, &CheckEdit::valueEdited, this, [this, e, field] { write(e, field, e->value()); });
    }
    show(link);
}

void FieldBinder::refresh() {
    if (m_writing) {
        return;
    }
    // The row was read again, cancelled or left: what was typed wrong into
    // a box is gone with it.
    for (const Link& l : m_links) {
        if (auto* e = qobject_cast<NumberEdit*>(l.editor.data())) {
            e->clearRejection();
        } else if (auto* d = qobject_cast<NullableDateEdit*>(l.editor.data())) {
            d->clearRejection();
        }
        show(l);
    }
}

void FieldBinder::requireNumbersAsTyped() const {
    for (const Link& l : m_links) {
        if (!m_dataset) {
            break;
        }
        const int f = m_dataset->fieldIndex(l.field);
        const QString label = f >= 0 ? m_dataset->fields()[f].label() : l.field;
        if (const auto* e = qobject_cast<const NumberEdit*>(l.editor.data()); e && !e->rejection().isEmpty()) {
            throw UserError(
                QStringLiteral("[%1]%2，不能是“%3”。请改正后再保存。").arg(label, e->rejection(), e->text()));
        }
        if (const auto* d = qobject_cast<const NullableDateEdit*>(l.editor.data()); d && !d->rejection().isEmpty()) {
            throw UserError(QStringLiteral("[%1]：%2。请改正后再保存。").arg(label, d->rejection()));
        }
    }
}

void FieldBinder::show(const Link& link) {
    if (!link.editor || !m_dataset) {
        return;
    }
    const bool hasRow = m_dataset->currentRow() >= 0 && m_dataset->fieldIndex(link.field) >= 0;
    const QVariant v = hasRow ? m_dataset->value(link.field) : QVariant();
    if (auto* e = qobject_cast<NumberEdit*>(link.editor)) {
        e->setValue(v);
    } else if (auto* e = qobject_cast<QLineEdit*>(link.editor)) {
        // Text as stored; numbers and dates as the field shows them.
        const int f = m_dataset->fieldIndex(link.field);
        const QString text = f >= 0 && m_dataset->fields()[f].type != FieldDef::Type::Text
                                 ? m_dataset->fields()[f].displayText(v)
                                 : v.toString();
        if (e->text() != text) {
            e->setText(text);
        }
    } else if (auto* e = qobject_cast<NullableDateEdit*>(link.editor)) {
        e->setValue(v);
    } else if (auto* e = qobject_cast<LookupCombo*>(link.editor)) {
        e->setValue(v);
    } else if (auto* e = qobject_cast<MemoEdit*>(link.editor)) {
        e->setValue(v);
    } else if (auto* e = qobject_cast<CheckEdit*>(link.editor)) {
        e->setValue(v);
    }
}

void FieldBinder::write(QWidget* source, const QString& field, const QVariant& value) {
    if (!m_dataset || m_dataset->currentRow() < 0) {
        return;
    }
    m_writing = true;
    try {
        m_dataset->setValue(field, value);
    } catch (const std::exception& e) {
        m_writing = false;
        emit editFailed(userTextOf(e), detailsOf(e));
        refresh();
        return;
    }
    m_writing = false;
    // Fields computed from this one and other editors of the same field
    // show the new values; the editor being typed in keeps its text and
    // cursor.
    for (const Link& l : m_links) {
        if (l.editor != source) {
            show(l);
        }
    }
}
