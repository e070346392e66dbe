#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <memory>

#include "data/lookup_list.h"

// The editors the windows bind to dataset fields. Each holds its value as a
// QVariant (null when empty) and says when the user changed it.

// A drop-down that stores a key and shows its text. The open list may show
// several columns of each entry under headers (the key, the text, extra
// columns of the lookup); the box then shows one of them.
class LookupCombo : public QComboBox {
    Q_OBJECT
public:
    // What a column of the open list shows of an entry: its key, its text,
    // or one of its extra columns (0, 1, ...).
    static constexpr int KeyPart = -2;
    static constexpr int TextPart = -1;
    struct Column {
        QString header;
        int part = TextPart;
    };

    explicit LookupCombo(QWidget* parent = nullptr);
    void setLookup(std::shared_ptr<LookupList> lookup);
    // The open list shows these columns under their headers, and the box
    // the column at `shown`; without columns the list holds the texts.
    void setColumns(const QList<Column>& columns, int shown = 0);
    // Whether the list starts with an empty choice (it does unless told);
    // without one, an empty value leaves the box blank.
    void setEmptyChoice(bool on);
    std::shared_ptr<LookupList> lookup() const { return m_lookup; }
    QVariant value() const;
    void setValue(const QVariant& key);

signals:
    void valueEdited();

private:
    void fill();

    std::shared_ptr<LookupList> m_lookup;
    QList<Column> m_columns;
    int m_shown = 0;
    bool m_emptyChoice = true;
};

// A date that may be empty: the minimum date stands for "no date" and shows
// blank; Delete or Backspace on the whole field empties it. A digit that
// would make a day that does not exist (2026-02-30, month 13) is not
// turned into another date without a word: the box shows the date as
// typed, marked, and says why, until the user corrects it.
class NullableDateEdit : public QDateEdit {
    Q_OBJECT
public:
    explicit NullableDateEdit(QWidget* parent = nullptr);
    QVariant value() const;
    void setValue(const QVariant& value);
    // The date the box holds, for a filter or a command; an impossible date
    // typed is refused (UserError naming `caption`), not taken for the one
    // the box shows in its place.
    QDate checkedDate(const QString& caption) const;
    // The impossible date last typed ("2026-02-30 这个日期不存在"); empty
    // once the box holds what was typed.
    QString rejection() const { return m_rejection; }
    // Forgets what was typed wrong (the field was read again).
    void clearRejection() { markRejected({}); }

signals:
    void valueEdited();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCurrentMonthWhenEmpty();
    void markRejected(const QString& why);
    // Shows the impossible date as typed ("2026-02-30") instead of the date
    // the box holds meanwhile, until the user types into it again or a date
    // is set; the box keeps holding that date (value()).
    void showTyped(const QString& typed);
    void stopShowingTyped(bool restoreHeld);
    bool m_showingTyped = false;
    QDate m_heldDate;
    QString m_rejection;
    QString m_styleBeforeRejection;
    Section m_rejectedSection = NoSection;
    QString m_rejectedDigits;  // what was typed into that section ("30", "13")
    int m_typedUpTo = -1;      // the cursor after the last key, when it was a digit
};

// A number with a display format ("0.00"), shown formatted when the field
// does not have the focus; empty means no value. Numbers always show in
// positional notation, never in exponent form. Every key typed shows: text
// that is no number for the box (a letter, a second sign, a point in a box
// of whole numbers) is never turned into another number; it stays as typed,
// marked, for the user to correct, and the value stays the last number the
// box held.
class NumberEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit NumberEdit(QWidget* parent = nullptr);
    void setFormat(const QString& format);
    // Decimals shown without a format (the field's scale); -1: as many as
    // the number has; 0: whole numbers only.
    void setDecimals(int decimals);
    QVariant value() const;
    void setValue(const QVariant& value);
    // Why the text typed is no number for this box; empty when it is one.
    QString rejection() const { return m_rejection; }
    // Forgets what was typed wrong: the box shows its value again.
    void clearRejection() {
        markRejected({});
        showValue();
    }

signals:
    void valueEdited();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void takeText(const QString& text);
    void showValue();
    void markRejected(const QString& why);
    QString m_format;
    int m_decimals = -1;
    QVariant m_value;
    QString m_rejection;
    QString m_styleBeforeRejection;
};

// A multi-line text.
class MemoEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MemoEdit(QWidget* parent = nullptr);
    QVariant value() const { return toPlainText(); }
    void setValue(const QVariant& value);

signals:
    void valueEdited();

protected:
    // Qt 6.4's plain-text editor crashes when it pastes clipboard data that
    // has no format at all (an empty clipboard under X11): such data is
    // neither offered nor inserted.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    bool m_setting = false;
};

// A check box that stores 1 when ticked and 0 when not; an empty value shows
// unticked.
class CheckEdit : public QCheckBox {
    Q_OBJECT
public:
    explicit CheckEdit(const QString& text = {}, QWidget* parent = nullptr);
    QVariant value() const { return isChecked() ? 1 : 0; }
    void setValue(const QVariant& value) { setChecked(!value.isNull() && value.toInt() != 0); }

signals:
    void valueEdited();
};

// Shows a picture file scaled to fit, or a caption when there is none (or
// it cannot be read); a click says so.
class PictureBox : public QLabel {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);
    void setCaption(const QString& caption);
    // Returns false (and shows the caption) when the file is missing or is
    // not a picture.
    bool setFile(const QString& path);
    void clearPicture();
    QString file() const { return m_file; }
    bool hasPicture() const { return !m_image.isNull(); }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void render();
    QString m_caption;
    QString m_file;
    QImage m_image;
};
