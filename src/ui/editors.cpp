#include "ui/editors.h"

#include <QMimeData>

#include <QHeaderView>
#include <QImageReader>
#include <QKeyEvent>
#include <QStandardItemModel>
#include <QTreeView>

#include "data/field_def.h"

namespace {
const QDate kNoDate(1900, 1, 1);
}

LookupCombo::LookupCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int) { emit valueEdited(); });
}

void LookupCombo::setLookup(std::shared_ptr<LookupList> lookup, const QStringList& headers) {
    const QVariant keep = value();
    m_lookup = std::move(lookup);
    auto* model = new QStandardItemModel(this);
    const int extra = headers.size() > 1 ? headers.size() - 1 : 0;
    model->setColumnCount(1 + extra);
    if (!headers.isEmpty()) {
        model->setHorizontalHeaderLabels(headers);
    }
    model->appendRow(new QStandardItem());  // the empty choice
    for (const LookupList::Entry& e : m_lookup->entries()) {
        QList<QStandardItem*> row{new QStandardItem(e.text)};
        row[0]->setData(e.key, Qt::UserRole);
        for (int i = 0; i < extra; ++i) {
            row.append(new QStandardItem(e.extra.value(i)));
        }
        model->appendRow(row);
    }
    setModel(model);
    if (extra > 0) {
        auto* view = new QTreeView(this);
        view->setRootIsDecorated(false);
        view->setHeaderHidden(headers.isEmpty());
        view->header()->setStretchLastSection(true);
        setView(view);
    }
    setValue(keep);
}

QVariant LookupCombo::value() const {
    return currentIndex() <= 0 ? QVariant() : itemData(currentIndex());
}

void LookupCombo::setValue(const QVariant& key) {
    if (key.isNull()) {
        setCurrentIndex(0);
        return;
    }
    for (int i = 1; i < count(); ++i) {
        if (itemData(i).toString() == key.toString()) {
            setCurrentIndex(i);
            return;
        }
    }
    setCurrentIndex(0);
}

NullableDateEdit::NullableDateEdit(QWidget* parent) : QDateEdit(parent) {
    setCalendarPopup(true);
    setDisplayFormat("yyyy-MM-dd");
    setMinimumDate(kNoDate);
    setSpecialValueText(QStringLiteral(" "));
    setDate(kNoDate);
    connect(this, &QDateEdit::userDateChanged, this, [this](const QDate&) { emit valueEdited(); });
}

QVariant NullableDateEdit::value() const {
    return date() == kNoDate ? QVariant() : QVariant(date());
}

void NullableDateEdit::setValue(const QVariant& value) {
    const QSignalBlocker block(this);
    const QDate d = value.typeId() == QMetaType::QDateTime ? value.toDateTime().date() : value.toDate();
    setDate(value.isNull() || !d.isValid() ? kNoDate : d);
}

void NullableDateEdit::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) &&
        lineEdit()->selectedText() == lineEdit()->text()) {
        setDate(kNoDate);
        emit valueEdited();
        return;
    }
    QDateEdit::keyPressEvent(event);
}

NumberEdit::NumberEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        bool ok = false;
        const double v = text.trimmed().toDouble(&ok);
        m_value = text.trimmed().isEmpty() ? QVariant() : (ok ? QVariant(v) : m_value);
        emit valueEdited();
    });
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
    m_value = value;
    showValue();
}

void NumberEdit::showValue() {
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
        QImageReader reader(path);
        reader.setAutoTransform(true);
        m_image = reader.read();
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
