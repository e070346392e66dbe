#include "master/price_cell_edit.h"

#include <QKeyEvent>
#include <algorithm>

#include "reports/engine/report_expression.h"

PriceCellEdit::PriceCellEdit(const QString& cell, QWidget* parent) : QLineEdit(parent), m_cell(cell) {
    setObjectName(cell);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (isEdited()) {
            emit edited(text());
        }
    });
    connect(this, &QLineEdit::textChanged, this, [this] { fitText(); });
}

void PriceCellEdit::setValue(const QVariant& value) {
    m_value = value;
    showValue(hasFocus());
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
    showValue(hasFocus());
}

void PriceCellEdit::showValue(bool editing) {
    setText(editing ? editText() : shownText());
}

void PriceCellEdit::fitText() {
    if (!m_haveBaseFont) {
        // The font as the style sheet makes it (bold), before any shrinking.
        ensurePolished();
        m_baseFont = font();
        m_haveBaseFont = true;
    }
    QFont f = m_baseFont;
    const int room = contentsRect().width() - 8;
    const int needed = QFontMetrics(f).horizontalAdvance(text());
    if (room > 0 && needed > room && f.pointSizeF() > 0) {
        f.setPointSizeF(std::max(5.0, f.pointSizeF() * room / needed));
    }
    if (f != font()) {
        setFont(f);
    }
}

void PriceCellEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    fitText();
}

void PriceCellEdit::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    // A new style sheet gives a new font to start from.
    if (event->type() == QEvent::StyleChange) {
        m_haveBaseFont = false;
        fitText();
    }
}

void PriceCellEdit::focusInEvent(QFocusEvent* event) {
    // Only an unchanged cell turns to its digits: a refused text stays to
    // be corrected.
    if (!isEdited()) {
        showValue(true);
    }
    QLineEdit::focusInEvent(event);
    selectAll();
}

void PriceCellEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A refused text gives the focus back while it is being taken: the
    // cell then shows its digits again.
    if (!isEdited() && !hasFocus()) {
        showValue(false);
    }
}

void PriceCellEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // The text is handed on (editingFinished); the window's default button
    // never sees the key.
    m_refused = false;
    QLineEdit::keyPressEvent(event);
    event->accept();
    if (!m_refused) {
        emit advance();
    }
}
