#include "data/column_store.h"

#include <QDateTime>
#include <QHashFunctions>
#include <cstring>

namespace {

size_t mix(quint64 h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return static_cast<size_t>(h);
}

quint64 realBits(double v) {
    quint64 bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}
}  // namespace

ColumnStore::ColumnStore(int columns)
    : m_columns(static_cast<size_t>(std::max(columns, 0))), m_finders(static_cast<size_t>(std::max(columns, 0))) {}

void ColumnStore::grow(Finder& f) {
    const size_t size = f.probe.empty() ? 64 : f.probe.size() * 2;
    std::vector<quint64> probe(size, 0);
    for (quint64 s : f.probe) {
        if (s == 0) {
            continue;
        }
        size_t i = static_cast<size_t>(s >> 32) & (size - 1);
        while (probe[i] != 0) {
            i = (i + 1) & (size - 1);
        }
        probe[i] = s;
    }
    f.probe = std::move(probe);
}

quint32 ColumnStore::addUnmatched(int column, QVariant value) {
    Column& c = m_columns[column];
    Finder& f = m_finders[column];
    // Keeps the finder's per-value lists in step with the values.
    f.keys.push_back(0);
    f.lengths.push_back(AloneKind);
    const auto at = static_cast<quint32>(c.distinct.size());
    c.distinct.append(std::move(value));
    return at;
}

void ColumnStore::appendAlone(int column, QVariant value) {
    if (plainFromHere(column)) {
        appendCell(column, value);
        return;
    }
    m_columns[column].index.append(addUnmatched(column, std::move(value)));
}

// After 4,096 rows, and again each time the rows doubled, a column whose
// values were more than half different keeps its later values as plain
// cells: looking for equal values would save little and cost a lookup per
// row.
bool ColumnStore::checkPlain(int column) {
    Column& c = m_columns[column];
    Finder& f = m_finders[column];
    f.nextCheck = c.index.size() * 2;
    if (c.distinct.size() <= c.index.size() / 2) {
        return false;
    }
    f = Finder();
    c.plainFrom = static_cast<int>(c.index.size());
    return true;
}

void ColumnStore::appendCell(int column, const QVariant& value) {
    Column& c = m_columns[column];
    Cell cell{};
    if (value.isNull() || !value.isValid()) {
        cell.kind = CellKind::Null;
    } else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
        cell.kind = CellKind::Integer;
        cell.payload = static_cast<quint64>(value.toLongLong());
    } else if (value.typeId() == QMetaType::Double) {
        cell.kind = CellKind::Real;
        cell.payload = realBits(value.toDouble());
    } else {
        cell.kind = CellKind::Other;
        cell.payload = static_cast<quint64>(c.others.size());
        c.others.append(value);
    }
    c.cells.append(cell);
}

QVariant ColumnStore::plainValue(const Column& c, const Cell& cell) {
    switch (cell.kind) {
        case CellKind::Null:
            return QVariant();
        case CellKind::Integer:
            return QVariant(static_cast<qlonglong>(cell.payload));
        case CellKind::Real: {
            double d = 0;
            std::memcpy(&d, &cell.payload, sizeof d);
            return QVariant(d);
        }
        case CellKind::Text:
            return QVariant(QString::fromUtf8(c.texts.constData() + cell.payload, cell.length));
        case CellKind::Other:
            return c.others[static_cast<qsizetype>(cell.payload)];
    }
    return QVariant();
}

template <class Make>
void ColumnStore::appendKeyed(int column, quint64 key, QByteArrayView text, quint32 kind, Make make) {
    Finder& f = m_finders[column];
    Column& c = m_columns[column];
    if (f.last < f.lengths.size() && f.lengths[f.last] == kind &&
        (kind >= TimeKind ? f.keys[f.last] == key
                          : kind == 0 || std::memcmp(f.texts.constData() + f.keys[f.last], text.data(), kind) == 0)) {
        c.index.append(f.last);
        return;
    }
    const size_t hash = kind < TimeKind ? qHash(text) : mix(key ^ kind);
    if ((c.distinct.size() + 1) * 2 > static_cast<qsizetype>(f.probe.size())) {
        grow(f);
    }
    const quint64 h32 = static_cast<quint32>(hash);
    const size_t mask = f.probe.size() - 1;
    size_t i = static_cast<size_t>(h32) & mask;
    while (f.probe[i] != 0) {
        if ((f.probe[i] >> 32) == h32) {
            const quint32 at = static_cast<quint32>(f.probe[i]) - 1;
            if (f.lengths[at] == kind && (kind >= TimeKind ? f.keys[at] == key
                                                           : kind == 0 || std::memcmp(f.texts.constData() + f.keys[at],
                                                                                      text.data(), kind) == 0)) {
                c.index.append(at);
                f.last = at;
                return;
            }
        }
        i = (i + 1) & mask;
    }
    const auto at = static_cast<quint32>(c.distinct.size());
    if (kind < TimeKind) {
        f.keys.push_back(static_cast<quint64>(f.texts.size()));
        f.texts.append(text);
    } else {
        f.keys.push_back(key);
    }
    f.lengths.push_back(kind);
    f.probe[i] = (h32 << 32) | (at + 1);
    f.last = at;
    c.index.append(at);
    c.distinct.append(make());
}

void ColumnStore::appendNull(int column) {
    Column& c = m_columns[column];
    if (plainFromHere(column)) {
        c.cells.append(Cell{});
        return;
    }
    if (c.nullIndex < 0) {
        c.nullIndex = addUnmatched(column, QVariant());
    }
    c.index.append(static_cast<quint32>(c.nullIndex));
}

void ColumnStore::appendInteger(int column, qint64 value) {
    if (plainFromHere(column)) {
        m_columns[column].cells.append(Cell{static_cast<quint64>(value), 0, CellKind::Integer});
        return;
    }
    appendKeyed(column, static_cast<quint64>(value), {}, IntegerKind, [value] { return QVariant(qlonglong(value)); });
}

void ColumnStore::appendReal(int column, double value) {
    if (plainFromHere(column)) {
        m_columns[column].cells.append(Cell{realBits(value), 0, CellKind::Real});
        return;
    }
    appendKeyed(column, realBits(value), {}, RealKind, [value] { return QVariant(value); });
}

void ColumnStore::appendText(int column, QUtf8StringView text) {
    if (plainFromHere(column)) {
        Column& c = m_columns[column];
        c.cells.append(Cell{static_cast<quint64>(c.texts.size()), static_cast<quint32>(text.size()), CellKind::Text});
        c.texts.append(text.data(), text.size());
        return;
    }
    appendKeyed(column, 0, QByteArrayView(text.data(), text.size()), static_cast<quint32>(text.size()),
                [text] { return QVariant(text.toString()); });
}

void ColumnStore::appendBlob(int column, QByteArrayView bytes) {
    // Pictures and other blobs are rarely equal; each keeps its own value.
    appendAlone(column, QVariant(bytes.toByteArray()));
}

void ColumnStore::append(int column, const QVariant& value) {
    if (value.isNull() || !value.isValid()) {
        appendNull(column);
        return;
    }
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
            appendInteger(column, value.toLongLong());
            return;
        case QMetaType::Double:
        case QMetaType::Float:
            appendReal(column, value.toDouble());
            return;
        case QMetaType::QString: {
            if (plainFromHere(column)) {
                appendCell(column, value);
                return;
            }
            const QByteArray text = value.toString().toUtf8();
            appendKeyed(column, 0, text, static_cast<quint32>(text.size()), [&value] { return value; });
            return;
        }
        case QMetaType::QDateTime: {
            if (plainFromHere(column)) {
                appendCell(column, value);
                return;
            }
            // Keyed by the wall-clock reading: no time-zone work per value.
            const QDateTime t = value.toDateTime();
            if (t.timeSpec() != Qt::LocalTime && t.timeSpec() != Qt::UTC) {
                appendAlone(column, value);
                return;
            }
            const quint64 wall = static_cast<quint64>(t.date().toJulianDay()) * 86400000ULL +
                                 static_cast<quint64>(t.time().msecsSinceStartOfDay());
            appendKeyed(column, wall, {}, TimeKind + static_cast<quint32>(t.timeSpec()), [&value] { return value; });
            return;
        }
        default:
            appendAlone(column, value);
            return;
    }
}

void ColumnStore::finish() {
    // Spare capacity is left alone: copying the lists to trim it would cost
    // more than the untouched pages it would give back.
    m_finders.assign(m_columns.size(), Finder());
}

QVector<QVariant> ColumnStore::row(int row) const {
    QVector<QVariant> values;
    values.reserve(columnCount());
    for (int column = 0; column < columnCount(); ++column) {
        values.append(value(row, column));
    }
    return values;
}

void ColumnStore::convertColumn(int column, const std::function<QVariant(const QVariant&)>& convert, int keep) {
    convertCells(column, convert, keep, nullptr);
}

void ColumnStore::convertColumn(int column, const std::function<QVariant(const QVariant&)>& convert,
                                const std::function<double(double)>& numberToReal) {
    convertCells(column, convert, KeepNothing, &numberToReal);
}

void ColumnStore::convertCells(int column, const std::function<QVariant(const QVariant&)>& convert, int keep,
                               const std::function<double(double)>* numberToReal) {
    Column& c = m_columns[column];
    for (QVariant& v : c.distinct) {
        v = convert(v);
    }
    if (c.cells.isEmpty() || keep == KeepEverything) {
        return;
    }
    // Converted cells are written again in place; values of other kinds go
    // to a fresh list, so the old one is read while the new one grows.
    QVector<QVariant> others;
    for (Cell& cell : c.cells) {
        if ((cell.kind == CellKind::Text && (keep & KeepTexts)) ||
            (cell.kind == CellKind::Integer && (keep & KeepIntegers))) {
            continue;
        }
        if (numberToReal && (cell.kind == CellKind::Integer || cell.kind == CellKind::Real)) {
            double d = 0;
            if (cell.kind == CellKind::Integer) {
                d = static_cast<double>(static_cast<qint64>(cell.payload));
            } else {
                std::memcpy(&d, &cell.payload, sizeof d);
            }
            cell = Cell{realBits((*numberToReal)(d)), 0, CellKind::Real};
            continue;
        }
        const QVariant v = convert(plainValue(c, cell));
        if (v.isNull() || !v.isValid()) {
            cell = Cell{};
        } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) {
            cell = Cell{static_cast<quint64>(v.toLongLong()), 0, CellKind::Integer};
        } else if (v.typeId() == QMetaType::Double) {
            cell = Cell{realBits(v.toDouble()), 0, CellKind::Real};
        } else if (cell.kind == CellKind::Text && v.typeId() == QMetaType::QString &&
                   v.toString().toUtf8() == QByteArrayView(c.texts.constData() + cell.payload, cell.length)) {
            // The same text: stays in the buffer.
        } else {
            cell = Cell{static_cast<quint64>(others.size()), 0, CellKind::Other};
            others.append(v);
        }
    }
    c.others = std::move(others);
}
