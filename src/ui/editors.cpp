#include "ui/editors.h"

#include <QCalendarWidget>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTreeView>
#include <algorithm>

#include "data/field_def.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/picture_reader.h"

namespace {
// Marks a box whose typing was refused (why, in its tooltip and a red
// background over whatever style the window gave it), or takes the mark off.
void markBox(QWidget* box, const QString& selector, const QString& why, QString* rejection, QString* styleBefore) {
    if (*rejection == why) {
        return;
    }
    *rejection = why;
    box->setToolTip(why);
    if (!why.isEmpty()) {
        *styleBefore = box->styleSheet();
        box->setStyleSheet(*styleBefore + QStringLiteral(" %1 { background: #ffd8d8; }").arg(selector));
    } else {
        box->setStyleSheet(*styleBefore);
    }
}
const QDate kNoDate = HeldDates::noDate();
}  // namespace

LookupCombo::LookupCombo(QWidget* parent) : QComboBox(parent), m_lookup(std::make_shared<LookupList>()) {
    setEditable(false);
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int) { emit valueEdited(); });
}

void LookupCombo::setLookup(std::shared_ptr<LookupList> lookup) {
    m_lookup = lookup ? std::move(lookup) : std::make_shared<LookupList>();
    fill();
}

void LookupCombo::setColumns(const QList<Column>& columns, int shown) {
    m_columns = columns;
    m_shown = columns.isEmpty() ? 0 : qBound(0, shown, int(columns.size()) - 1);
    if (!columns.isEmpty()) {
        auto* list = new QTreeView(this);
        list->setRootIsDecorated(false);
        list->setAllColumnsShowFocus(true);
        list->header()->setStretchLastSection(true);
        setView(list);
        // The open list shows a screenful of rows at most and scrolls, as
        // a plain list does, instead of reaching the screen's height.
        setMaxVisibleItems(15);
        setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    }
    fill();
}

void LookupCombo::setEmptyChoice(bool on) {
    m_emptyChoice = on;
    fill();
}

void LookupCombo::fill() {
    const QVariant keep = value();
    const QList<Column> columns = m_columns.isEmpty() ? QList<Column>{Column{}} : m_columns;
    auto* items = new QStandardItemModel(0, int(columns.size()), this);
    if (!m_columns.isEmpty()) {
        QStringList headers;
        for (const Column& c : columns) {
            headers << c.header;
        }
        items->setHorizontalHeaderLabels(headers);
    }
    if (m_emptyChoice) {
        items->appendRow(new QStandardItem());
    }
    for (const LookupList::Entry& e : m_lookup->entries()) {
        QList<QStandardItem*> row;
        for (const Column& c : columns) {
            const QString text = c.part == KeyPart    ? e.key.toString()
                                 : c.part == TextPart ? e.text
                                                      : e.extra.value(c.part);
            auto* item = new QStandardItem(text);
            // Every column carries the key: the box reads it from the
            // column it shows.
            item->setData(e.key, Qt::UserRole);
            row.append(item);
        }
        items->appendRow(row);
    }
    setModel(items);
    setModelColumn(m_shown);
    if (auto* list = qobject_cast<QTreeView*>(view())) {
        // The list is wide enough for every column.
        int width = 0;
        for (int c = 0; c < items->columnCount(); ++c) {
            list->resizeColumnToContents(c);
            width += list->columnWidth(c);
        }
        list->setMinimumWidth(width + 2 * list->frameWidth() + 24);
    }
    setValue(keep);
}

QVariant LookupCombo::value() const {
    const QVariant key = currentIndex() < 0 ? QVariant() : itemData(currentIndex());
    return key.isValid() ? key : QVariant();
}

void LookupCombo::setValue(const QVariant& key) {
    const int none = m_emptyChoice ? 0 : -1;
    if (key.isNull()) {
        setCurrentIndex(none);
        return;
    }
    for (int i = m_emptyChoice ? 1 : 0; i < count(); ++i) {
        if (itemData(i).toString() == key.toString()) {
            setCurrentIndex(i);
            return;
        }
    }
    setCurrentIndex(none);
}

NullableDateEdit::NullableDateEdit(QWidget* parent) : QDateEdit(parent) {
    setCalendarPopup(true);
    setDisplayFormat("yyyy-MM-dd");
    setMinimumDate(kNoDate);
    setSpecialValueText(QStringLiteral(" "));
    setDate(kNoDate);
    connect(this, &QDateEdit::userDateChanged, this, [this](const QDate& chosen) {
        // A day chosen in the calendar (or by the wheel) over the date shown
        // as typed: that day is the box's date now.
        if (m_showingTyped && chosen != kNoDate) {
            stopShowingTyped(false);
            markRejected({});
        }
        emit valueEdited();
    });
    // A click into the text goes to the line edit, not to the box.
    lineEdit()->installEventFilter(this);
}

bool NullableDateEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonPress) {
        m_typedUpTo = -1;  // the cursor is where the user put it
    }
    return QDateEdit::eventFilter(watched, event);
}

void NullableDateEdit::focusOutEvent(QFocusEvent* event) {
    m_typedUpTo = -1;
    QDateEdit::focusOutEvent(event);
}

void NullableDateEdit::mousePressEvent(QMouseEvent* event) {
    m_typedUpTo = -1;  // the cursor is where the user put it
    QDateEdit::mousePressEvent(event);
    showCurrentMonthWhenEmpty();
}

void NullableDateEdit::showCurrentMonthWhenEmpty() {
    // The calendar is made when it first opens (making it costs); an empty
    // box opens it on the current month, not on the first month the box
    // can hold.
    if (date() == kNoDate && calendarPopup() && calendarWidget()->isVisible()) {
        const QDate today = QDate::currentDate();
        calendarWidget()->setCurrentPage(today.year(), today.month());
    }
}

QVariant NullableDateEdit::value() const {
    const QDate held = m_showingTyped ? m_heldDate : date();
    return held == kNoDate ? QVariant() : QVariant(held);
}

void NullableDateEdit::showTyped(const QString& typed) {
    // The box cannot hold a day that does not exist; the text it shows for
    // its "no date" can, so that stands in for it meanwhile.
    const QSignalBlocker block(this);
    if (!m_showingTyped) {
        m_heldDate = date();
    }
    m_showingTyped = true;
    setSpecialValueText(typed);
    setDate(kNoDate);
}

void NullableDateEdit::stopShowingTyped(bool restoreHeld) {
    if (!m_showingTyped) {
        return;
    }
    m_showingTyped = false;
    const QSignalBlocker block(this);
    setSpecialValueText(QStringLiteral(" "));
    if (restoreHeld) {
        // Both texts are as long: the cursor stays where the user put it.
        const int cursor = lineEdit()->cursorPosition();
        setDate(m_heldDate);
        lineEdit()->setCursorPosition(cursor);
    }
}

QDate NullableDateEdit::checkedDate(const QString& caption) const {
    if (!m_rejection.isEmpty()) {
        throw UserError(QStringLiteral("[%1]：%2。请改正后再查询。").arg(caption, m_rejection));
    }
    return value().toDate();
}

void NullableDateEdit::setValue(const QVariant& value) {
    const QSignalBlocker block(this);
    m_typedUpTo = -1;
    if (m_showingTyped) {
        const QDate d = value.typeId() == QMetaType::QDateTime ? value.toDateTime().date() : value.toDate();
        if (d == m_heldDate || (value.isNull() && m_heldDate == kNoDate)) {
            return;  // the field shown again as it stands: the typed text stays
        }
        stopShowingTyped(true);
    }
    const QDate d = value.typeId() == QMetaType::QDateTime ? value.toDateTime().date() : value.toDate();
    const QDate shown = value.isNull() || !d.isValid() ? kNoDate : d;
    if (shown != date()) {
        markRejected({});  // another date from outside: the typing is over
    }
    setDate(shown);
}

void NullableDateEdit::markRejected(const QString& why) {
    if (why.isEmpty()) {
        m_rejectedSection = NoSection;
        stopShowingTyped(true);
    }
    markBox(this, QStringLiteral("QDateEdit"), why, &m_rejection, &m_styleBeforeRejection);
}

void NullableDateEdit::keyPressEvent(QKeyEvent* event) {
    // Typing again over the date shown as typed goes on from the date the
    // box holds, as if it had never been shown. Keys that leave the box
    // (Tab, Enter) keep showing what was typed.
    const QString key = event->text();
    const bool edits = (!key.isEmpty() && key.at(0).isPrint()) || event->key() == Qt::Key_Backspace ||
                       event->key() == Qt::Key_Delete || event->key() == Qt::Key_Up || event->key() == Qt::Key_Down ||
                       event->key() == Qt::Key_Left || event->key() == Qt::Key_Right;
    if (m_showingTyped && edits) {
        // The whole text selected (Ctrl+A) stays selected: the digits then
        // start the date again.
        const bool whole = lineEdit()->hasSelectedText() && lineEdit()->selectedText() == lineEdit()->text();
        stopShowingTyped(true);
        if (whole) {
            lineEdit()->selectAll();
        }
    }
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) &&
        lineEdit()->selectedText() == lineEdit()->text()) {
        setDate(kNoDate);
        emit valueEdited();
        return;
    }
    // Typing into an empty box starts a date whose sections the typed
    // digits then overwrite, year first, as in a box that holds a date.
    // A separator typed right after a section filled up and moved on to the
    // next one would skip that one too: it is taken as already typed.
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.at(0).isDigit() &&
        (date() == kNoDate || (lineEdit()->hasSelectedText() && lineEdit()->selectedText() == lineEdit()->text()))) {
        markRejected({});  // a date typed afresh
    }
    if (typed == "-" || typed == "/" || typed == ".") {
        const QString shown = lineEdit()->text();
        const int at = lineEdit()->hasSelectedText() ? lineEdit()->selectionStart() : lineEdit()->cursorPosition();
        if (at > 0 && at <= shown.size() && !shown.at(at - 1).isDigit()) {
            event->accept();
            return;
        }
    }
    // Over the whole text selected (Ctrl+A), the typed digits start the
    // date again from its year; the box on its own would keep the year.
    if (date() != kNoDate && !typed.isEmpty() && typed.at(0).isDigit() && lineEdit()->hasSelectedText() &&
        lineEdit()->selectedText() == lineEdit()->text()) {
        setSelectedSection(QDateTimeEdit::YearSection);
    }
    if (date() == kNoDate && !typed.isEmpty() && typed.at(0).isDigit()) {
        {
            const QSignalBlocker block(this);
            setDate(QDate::currentDate());
            setSelectedSection(QDateTimeEdit::YearSection);
        }
        // The box holds a date from here on, and says so.
        emit valueEdited();
    }
    // The first digit typed where the cursor was put (a click into the day
    // of 2026-11-01, then 5) starts a full section afresh, as over the
    // section selected; the box on its own would drop it. A digit right
    // after digits typed is left to the box (and said when it makes no
    // date).
    const bool isDigit = !typed.isEmpty() && typed.at(0).isDigit();
    if (isDigit && date() != kNoDate && !lineEdit()->hasSelectedText() && lineEdit()->cursorPosition() != m_typedUpTo) {
        const Section at = currentSection();
        const int full = at == YearSection ? 4 : 2;
        if ((at == YearSection || at == MonthSection || at == DaySection) && sectionText(at).size() >= full) {
            setSelectedSection(at);
        }
    }
    // What a digit typed into the month or the day should make of it: the
    // section's digits before the cursor and the new one (over a selection
    // or at the section's start, the digit alone).
    const Section section = currentSection();
    const bool digit = !typed.isEmpty() && typed.at(0).isDigit() &&
                       (section == MonthSection || section == DaySection) && displayFormat() == "yyyy-MM-dd";
    QString intended;
    if (digit) {
        const QStringList parts = lineEdit()->text().split(QLatin1Char('-'));
        if (parts.size() == 3) {
            const int start = section == MonthSection ? parts[0].size() + 1 : parts[0].size() + parts[1].size() + 2;
            const int offset = lineEdit()->hasSelectedText() ? 0 : lineEdit()->cursorPosition() - start;
            intended = sectionText(section).left(std::max(0, offset)) + typed.at(0);
        }
    }
    const QString dayBefore = sectionText(DaySection);
    QDateEdit::keyPressEvent(event);
    m_typedUpTo = isDigit ? lineEdit()->cursorPosition() : -1;
    if (!intended.isEmpty()) {
        // The box refuses a digit that makes no date, puts the month's last
        // day in its place, or moves the day to fit a month typed: either
        // way the date typed is said, until its section is typed again.
        QStringList parts = lineEdit()->text().split(QLatin1Char('-'));
        const bool refused = sectionText(section).toInt() != intended.toInt();
        const bool dayMoved = section == MonthSection && sectionText(DaySection).toInt() != dayBefore.toInt();
        if (parts.size() == 3 && (refused || dayMoved)) {
            if (m_rejection.isEmpty()) {
                parts[section == MonthSection ? 1 : 2] = intended.right(2).rightJustified(2, QLatin1Char('0'));
                if (dayMoved) {
                    parts[2] = dayBefore.rightJustified(2, QLatin1Char('0'));
                }
                // A month beyond 12 is said alone: the day beside it means
                // nothing yet.
                const int month = intended.toInt();
                markRejected(section == MonthSection && !dayMoved && (month < 1 || month > 12)
                                 ? QStringLiteral("没有%1月这个月份").arg(month)
                                 : QStringLiteral("%1 这个日期不存在").arg(parts.join(QLatin1Char('-'))));
                m_rejectedSection = dayMoved ? DaySection : section;
                m_rejectedDigits = parts[m_rejectedSection == MonthSection ? 1 : 2];
            }
        } else if (section == m_rejectedSection) {
            markRejected({});
        }
    }
    // While a refused section is not typed again, the box shows the date
    // as typed: the refused digits in their place, the other sections as
    // they stand.
    if (!m_rejection.isEmpty() && m_rejectedSection != NoSection && !m_showingTyped && date() != kNoDate) {
        QStringList parts = lineEdit()->text().split(QLatin1Char('-'));
        if (parts.size() == 3) {
            parts[m_rejectedSection == MonthSection ? 1 : 2] = m_rejectedDigits;
            showTyped(parts.join(QLatin1Char('-')));
        }
    }
    if (event->key() == Qt::Key_F4 || ((event->modifiers() & Qt::AltModifier) && event->key() == Qt::Key_Down)) {
        showCurrentMonthWhenEmpty();  // the keys that open the calendar
    }
}

NumberEdit::NumberEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::textEdited, this, &NumberEdit::takeText);
}

void NumberEdit::takeText(const QString& typed) {
    const QString text = typed.trimmed();
    static const QRegularExpression whole(QStringLiteral("^-?[0-9]*$"));
    static const QRegularExpression decimal(QStringLiteral("^-?[0-9]*([.][0-9]*)?$"));
    if (!(m_decimals == 0 ? whole : decimal).match(text).hasMatch()) {
        const bool pointInWhole = m_decimals == 0 && decimal.match(text).hasMatch();
        markRejected(pointInWhole ? QStringLiteral("只能填写整数") : QStringLiteral("必须是数字"));
        return;  // the value stays what it was
    }
    markRejected({});
    bool ok = false;
    const double v = text.toDouble(&ok);
    // What shows is the value: a lone sign or point is no number yet.
    m_value = ok ? QVariant(v) : QVariant();
    emit valueEdited();
}

void NumberEdit::markRejected(const QString& why) {
    markBox(this, QStringLiteral("QLineEdit"), why, &m_rejection, &m_styleBeforeRejection);
}

void NumberEdit::setFormat(const QString& format) {
    m_format = format;
    showValue();
}

void NumberEdit::setDecimals(int decimals) {
    m_decimals = decimals;
    showValue();
}

QVariant NumberEdit::value() const {
    return m_value;
}

void NumberEdit::setValue(const QVariant& value) {
    if (!m_rejection.isEmpty() && value == m_value) {
        return;  // the field still holds its last number: the typing stays
    }
    markRejected({});
    m_value = value;
    showValue();
}

void NumberEdit::showValue() {
    if (!m_rejection.isEmpty()) {
        return;  // what was typed stays, to be corrected
    }
    if (m_value.isNull()) {
        setText({});
    } else if (hasFocus()) {
        // The digits the number has, to be edited.
        setText(formatFixed(m_value.toDouble(), -1));
    } else if (m_format.isEmpty()) {
        setText(formatFixed(m_value.toDouble(), m_decimals));
    } else {
        setText(formatNumber(m_value.toDouble(), m_format));
    }
}

void NumberEdit::focusInEvent(QFocusEvent* event) {
    showValue();
    QLineEdit::focusInEvent(event);
}

void NumberEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    showValue();
}

MemoEdit::MemoEdit(QWidget* parent) : QPlainTextEdit(parent) {
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_setting) {
            emit valueEdited();
        }
    });
}

void MemoEdit::setValue(const QVariant& value) {
    if (toPlainText() == value.toString()) {
        return;
    }
    m_setting = true;
    setPlainText(value.toString());
    m_setting = false;
}

bool MemoEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source && source->hasText() && QPlainTextEdit::canInsertFromMimeData(source);
}

void MemoEdit::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText()) {
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

CheckEdit::CheckEdit(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    connect(this, &QCheckBox::clicked, this, [this](bool) { emit valueEdited(); });
}

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
    setMinimumSize(80, 60);
    setFrameShape(QFrame::StyledPanel);
    setCursor(Qt::PointingHandCursor);
}

void PictureBox::setCaption(const QString& caption) {
    m_caption = caption;
    render();
}

bool PictureBox::setFile(const QString& path) {
    m_file = path;
    m_image = QImage();
    if (!path.isEmpty()) {
        // The box shows the picture small: a phone photo is read at about
        // the size it is shown, which is far quicker when stepping through
        // a list. The viewer reads the file again at full size.
        const qint64 shown = qint64(qMax(width(), 200)) * qMax(height(), 150) * 4;
        m_image = PictureReader::read(path, nullptr, qMax<qint64>(shown, 1'000'000));
    }
    render();
    return !m_image.isNull();
}

void PictureBox::clearPicture() {
    m_file.clear();
    m_image = QImage();
    render();
}

void PictureBox::render() {
    if (m_image.isNull()) {
        setPixmap(QPixmap());
        setText(m_caption);
        return;
    }
    setText({});
    setPixmap(QPixmap::fromImage(m_image.scaled(contentsRect().size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    emit clicked();
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (!m_image.isNull()) {
        render();
    }
}
