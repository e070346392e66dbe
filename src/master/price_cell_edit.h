#pragma once

#include <QLineEdit>

// The editor of one price cell. Away from the focus it shows the price as
// the sheet prints it ("1,200.00"); with the focus, the plain digits to
// edit. What is typed is handed on as text when editing ends, so that the
// price table can refuse it with its reason; nothing is filtered silently.
class PriceCellEdit : public QLineEdit {
    Q_OBJECT
public:
    PriceCellEdit(const QString& cell, QWidget* parent = nullptr);

    const QString& cell() const { return m_cell; }
    // The cell's value as the table holds it (a whole number or null).
    void setValue(const QVariant& value);
    const QVariant& value() const { return m_value; }
    // Whether the text differs from the value shown.
    bool isEdited() const;
    // The value again, as shown before the editing.
    void revert();

signals:
    // Editing ended with a text other than the value.
    void edited(const QString& text);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QString editText() const;
    QString shownText() const;
    void show(bool editing);

    QString m_cell;
    QVariant m_value;
};
