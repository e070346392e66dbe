#pragma once

#include <QFont>
#include <QLineEdit>

// The editor of one price cell. Away from the focus it shows the price as
// the sheet prints it ("1,200.00"); with the focus, the plain digits to
// edit. What is typed is handed on as text when editing ends (Tab, Enter
// or leaving the cell), so that the price table can refuse it with its
// reason; nothing is filtered silently. Enter goes on to the next cell. A
// long number is shown in a smaller font rather than cut.
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
    // The text handed on last was refused: Enter stays in the cell.
    void markRefused() { m_refused = true; }

signals:
    // Editing ended with a text other than the value.
    void edited(const QString& text);
    // Enter was pressed and the text (if any) taken: on to the next cell.
    void advance();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString editText() const;
    QString shownText() const;
    void showValue(bool editing);
    // The font made smaller until the text fits the box.
    void fitText();

    QString m_cell;
    QVariant m_value;
    QFont m_baseFont;
    bool m_haveBaseFont = false;
    bool m_refused = false;
};
