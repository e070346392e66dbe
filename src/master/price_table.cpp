#include "master/price_table.h"

#include <QHash>
#include <QSqlQuery>

#include "data/database.h"
#include "data/field_def.h"
#include "platform/errors.h"
#include "platform/prompter.h"

namespace {

// Digits typed on a Chinese keyboard come full width: they are the same
// digits.
QString halfWidth(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= 0xFF10 && u <= 0xFF19) {
            c = QChar(u - 0xFF10 + '0');
        } else if (u == 0xFF0E) {
            c = QLatin1Char('.');
        } else if (u == 0xFF0C) {
            c = QLatin1Char(',');
        } else if (u == 0x3000) {
            c = QLatin1Char(' ');
        }
    }
    return out;
}

bool hasControlCharacters(const QString& text) {
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\n') && c != QLatin1Char('\r') &&
            c != QLatin1Char('\t')) {
            return true;
        }
    }
    return false;
}

}  // namespace

QString PriceTable::customerGoneText(const QString& code) {
    return QStringLiteral("客户[%1]已不存在（可能已被其他用户删除），单价表没有保存。").arg(code);
}

QString PriceTable::noSuchCustomerText(const QString& code) {
    return QStringLiteral("找不到客户[%1]").arg(code);
}

QString PriceTable::changedMeanwhileText(const QStringList& fields) {
    QStringList labels;
    for (const QString& f : fields) {
        labels.append(fieldLabel(f));
    }
    return QStringLiteral("以下各项已被其他用户修改：%1。单价表没有保存，请关闭后重新打开再修改。")
        .arg(labels.join(QStringLiteral("、")));
}

PriceTable::PriceTable(Database& db, Prompter& prompter)
    : m_db(db),
      m_prompter(prompter),
      m_values(fieldNames().size()),
      m_saved(fieldNames().size()),
      m_touched(fieldNames().size(), false) {}

int PriceTable::index(const QString& field) const {
    const QString f = fieldByName(field);
    const int i = f.isEmpty() ? -1 : static_cast<int>(fieldNames().indexOf(f));
    if (i < 0) {
        throw UserError(QStringLiteral("单价表没有[%1]这一项").arg(field));
    }
    return i;
}

void PriceTable::openStandard() {
    m_standard = true;
    m_code.clear();
    m_name.clear();
    m_open = true;
    if (!read()) {
        // An empty sheet; saving gives the book its standard row.
        m_values = QVector<QVariant>(fieldNames().size());
        m_saved = m_values;
        m_touched = QVector<bool>(fieldNames().size(), false);
        m_storedCode.clear();
    }
}

void PriceTable::openCustomer(const QString& code, const QString& name) {
    if (code.trimmed().isEmpty()) {
        throw UserError(noCustomerText());
    }
    m_standard = false;
    m_code = code;
    m_name = name;
    if (m_name.isEmpty()) {
        m_name = m_db.scalar(QStringLiteral("select Corp_name from Client where Corp_code=:corp_code"),
                             {{"corp_code", code}})
                     .toString();
    }
    m_open = false;
    const bool found = read();
    if (!found) {
        // Without a commit the transaction rolls back as it ends: a table
        // found after all is read as it is, with the stamp undone.
        WriteTransaction tx(m_db);
        requireCustomer(noSuchCustomerText(m_code));
        // Another workstation may have made the table meanwhile: the stamp
        // below waits for it, and the count then sees its table.
        ensureStandardRow();
        m_db.execute(QStringLiteral("update base_Dusmere_Price_Table set corp_code=:corp_code"),
                     {{"corp_code", m_code}});
        const int have =
            m_db.scalar(
                    QStringLiteral("select count(*) from base_Dusmere_Customer_price_Table where corp_code=:corp_code"),
                    {{"corp_code", m_code}})
                .toInt();
        if (have == 0) {
            copyStandardForCustomer();
            tx.commit();
        }
    }
    if (!found && !read()) {
        throw UserError(QStringLiteral("客户[%1]的单价表没有建立").arg(m_code));
    }
    m_open = true;
}

void PriceTable::reload() {
    if (m_standard) {
        openStandard();
    } else {
        openCustomer(m_code, m_name);
    }
}

bool PriceTable::read() {
    QString sql = selectStatement(m_standard ? standardTable() : customerTable());
    QVariantMap params;
    if (!m_standard) {
        sql += QStringLiteral(" where corp_code=:corp_code");
        params.insert(QStringLiteral("corp_code"), m_code);
    }
    sql += QStringLiteral(" LIMIT 1");
    QSqlQuery q = m_db.query(sql, params);
    if (!q.next()) {
        return false;
    }
    m_storedCode = q.value(0).toString();
    QVector<QVariant> values(fieldNames().size());
    for (int i = 0; i < values.size(); ++i) {
        const QVariant v = q.value(i + 1);
        values[i] = readValue(fieldNames()[i], v);
    }
    m_values = values;
    m_saved = values;
    m_touched = QVector<bool>(values.size(), false);
    return true;
}

void PriceTable::requireCustomer(const QString& missingText) {
    // On a server the customer's row stays locked to the end of the
    // transaction: a deletion on another workstation waits, or has
    // happened and is seen here.
    QSqlQuery q = m_db.query(
        QStringLiteral("select Corp_code from Client where Corp_code=:corp_code") + m_db.dialect().lockRowsSuffix(),
        {{"corp_code", m_code}});
    if (!q.next()) {
        throw UserError(missingText);
    }
}

void PriceTable::ensureStandardRow() {
    const QString count = QStringLiteral("select count(*) from base_Dusmere_Price_Table");
    if (m_db.scalar(count).toInt() > 0) {
        return;
    }
    if (!m_db.isAccess()) {
        // Two workstations must not both add the row: the second waits here
        // and then finds the first one's.
        m_db.execute(QStringLiteral("LOCK TABLE base_Dusmere_Price_Table IN SHARE ROW EXCLUSIVE MODE"));
        if (m_db.scalar(count).toInt() > 0) {
            return;
        }
    }
    m_db.execute(QStringLiteral("insert into base_Dusmere_Price_Table (Corp_code) values ('')"));
}

void PriceTable::copyStandardForCustomer() {
    // Column by column name: the two tables need not list their columns in
    // the same order, and a column only one of them has is left out.
    QHash<QString, QString> standardColumns;
    for (const FieldDef& f : TableSchema::columns(m_db, standardTable())) {
        standardColumns.insert(f.name.toLower(), f.name);
    }
    QStringList columns;
    for (const FieldDef& f : TableSchema::columns(m_db, customerTable())) {
        if (f.name.compare(QLatin1String("Corp_code"), Qt::CaseInsensitive) != 0 &&
            standardColumns.contains(f.name.toLower())) {
            columns.append(Database::checkIdentifier(f.name));
        }
    }
    const QString list = columns.join(QStringLiteral(", "));
    m_db.execute(QStringLiteral("insert into base_Dusmere_Customer_price_Table (Corp_code%1%2)"
                                " select :corp_code%1%2 from base_Dusmere_Price_Table LIMIT 1")
                     .arg(columns.isEmpty() ? QString() : QStringLiteral(", "), list),
                 {{"corp_code", m_code}});
}

QVariant PriceTable::value(const QString& field) const {
    return m_values.value(index(field));
}

QVariant PriceTable::parseCell(const QString& cell, const QString& text, QString* error) {
    QString t = halfWidth(text).trimmed();
    t.remove(QLatin1Char(','));
    if (t.isEmpty()) {
        return {};
    }
    auto refuse = [&](const QString& why) {
        if (error) {
            *error = QStringLiteral("单价[%1]%2").arg(cell, why);
        }
        return QVariant();
    };
    if (t.startsWith(QLatin1Char('+'))) {
        t.remove(0, 1);
    }
    if (t.startsWith(QLatin1Char('-'))) {
        bool number = t.size() > 1;
        for (int i = 1; i < t.size(); ++i) {
            number = number && (t[i].isDigit() || t[i] == QLatin1Char('.'));
        }
        return refuse(number ? QStringLiteral("不能是负数") : QStringLiteral("只能填写数字"));
    }
    const qsizetype point = t.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? t : t.left(point);
    const QString fraction = point < 0 ? QString() : t.mid(point + 1);
    auto digitsOnly = [](const QString& s) {
        for (const QChar c : s) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return false;
            }
        }
        return true;
    };
    if (!digitsOnly(whole) || !digitsOnly(fraction) || (whole.isEmpty() && fraction.isEmpty())) {
        return refuse(QStringLiteral("只能填写数字"));
    }
    for (const QChar c : fraction) {
        if (c != QLatin1Char('0')) {
            return refuse(QStringLiteral("只能是整数"));
        }
    }
    QString digits = whole;
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0'))) {
        digits.remove(0, 1);
    }
    if (digits.isEmpty()) {
        digits = QStringLiteral("0");
    }
    if (digits.size() > kCellDigits) {
        return refuse(QStringLiteral("不能超过%1位数字").arg(kCellDigits));
    }
    if (error) {
        error->clear();
    }
    return digits.toLongLong();
}

QString PriceTable::remarkError(const QString& text) {
    if (text.size() > kMaxRemarkLength) {
        return QStringLiteral("说明不能超过%1个字").arg(kMaxRemarkLength);
    }
    if (hasControlCharacters(text)) {
        return QStringLiteral("说明中不能有控制字符");
    }
    return {};
}

void PriceTable::setCellText(const QString& cell, const QString& text) {
    const int i = index(cell);
    const QString name = fieldNames()[i];
    if (!isCell(name)) {
        throw UserError(QStringLiteral("[%1]不是单价").arg(cell));
    }
    QString error;
    const QVariant v = parseCell(name, text, &error);
    if (!error.isEmpty()) {
        throw UserError(error);
    }
    m_values[i] = v;
    m_touched[i] = true;
}

void PriceTable::setValue(const QString& field, const QVariant& value) {
    const int i = index(field);
    const QString name = fieldNames()[i];
    if (isCell(name)) {
        if (value.isNull()) {
            m_values[i] = QVariant();
            m_touched[i] = true;
            return;
        }
        if (value.typeId() == QMetaType::QString) {
            setCellText(name, value.toString());
            return;
        }
        const int type = value.typeId();
        const bool whole = type == QMetaType::LongLong || type == QMetaType::Int || type == QMetaType::UInt ||
                           type == QMetaType::ULongLong;
        // Whole numbers keep every digit; other numbers go by their text.
        const QString text = whole                   ? value.toString()
                             : isNumericValue(value) ? formatFixed(value.toDouble(), -1)
                                                     : value.toString();
        setCellText(name, text);
        return;
    }
    const QString text = value.toString();
    const QString error = remarkError(text);
    if (!error.isEmpty()) {
        throw UserError(error);
    }
    m_values[i] = value.isNull() ? QVariant() : QVariant(text);
    m_touched[i] = true;
}

bool PriceTable::isModified() const {
    for (int i = 0; i < m_values.size() && i < m_saved.size(); ++i) {
        if (!sameOrBlank(m_values[i], m_saved[i])) {
            return true;
        }
    }
    return m_values.size() != m_saved.size();
}

QString PriceTable::displayText(const QString& cell) const {
    const QVariant v = value(cell);
    if (v.isNull()) {
        return {};
    }
    return QString::number(v.toLongLong()) + QStringLiteral(".00");
}

void PriceTable::save() {
    if (!m_open) {
        return;
    }
    const QString table = m_standard ? standardTable() : customerTable();
    const QString code = m_standard ? QString(QLatin1String("")) : m_code;
    WriteTransaction tx(m_db);
    if (!m_standard) {
        requireCustomer(customerGoneText(m_code));
    }
    // The table as stored now, locked on a server until the commit.
    QString select = selectStatement(table);
    QVariantMap where;
    if (!m_standard) {
        select += QStringLiteral(" where corp_code=:corp_code");
        where.insert(QStringLiteral("corp_code"), m_code);
    }
    select += QStringLiteral(" LIMIT 1") + m_db.dialect().lockRowsSuffix();
    QVector<QVariant> now(fieldNames().size());
    auto readStored = [&] {
        QSqlQuery q = m_db.query(select, where);
        const bool found = q.next();
        for (int i = 0; found && i < now.size(); ++i) {
            now[i] = readValue(fieldNames()[i], q.value(i + 1));
        }
        return found;
    };
    bool stored = readStored();
    if (!stored && m_standard && !m_db.isAccess()) {
        // Two workstations must not both add the standard row: the second
        // waits here and then finds the first one's.
        m_db.execute(QStringLiteral("LOCK TABLE base_Dusmere_Price_Table IN SHARE ROW EXCLUSIVE MODE"));
        stored = readStored();
    }

    // Only what was changed here is written: what another workstation
    // changed in the other fields meanwhile stays. A field changed on both
    // sides is not overwritten unseen.
    QVector<QVariant> merged = m_values;
    QStringList conflicts;
    for (int i = 0; stored && i < fieldNames().size(); ++i) {
        if (!m_touched[i]) {
            merged[i] = now[i];
        } else if (!sameOrBlank(now[i], m_saved[i]) && !sameOrBlank(now[i], m_values[i])) {
            conflicts.append(fieldNames()[i]);
        }
    }
    if (!conflicts.isEmpty()) {
        throw UserError(changedMeanwhileText(conflicts));
    }
    QVariantMap params{{QStringLiteral("corp_code"), code}};
    for (int i = 0; i < fieldNames().size(); ++i) {
        params.insert(fieldNames()[i], merged[i]);
    }
    if (stored) {
        // Rows made outside the program beside the table's one row are made
        // the same as it.
        QStringList assignments{QStringLiteral("Corp_code=:corp_code")};
        for (const QString& f : fieldNames()) {
            assignments.append(QStringLiteral("%1=:%1").arg(f));
        }
        QString update = QStringLiteral("update %1 set %2").arg(table, assignments.join(QStringLiteral(", ")));
        if (!m_standard) {
            update += QStringLiteral(" where corp_code=:old_code");
            params.insert(QStringLiteral("old_code"), m_code);
        }
        m_db.execute(update, params);
    } else {
        // No row (the book had none, or it was deleted outside the
        // program): the table is written whole.
        QStringList columns{QStringLiteral("Corp_code")};
        QStringList values{QStringLiteral(":corp_code")};
        for (const QString& f : fieldNames()) {
            columns.append(f);
            values.append(QLatin1Char(':') + f);
        }
        m_db.execute(QStringLiteral("insert into %1 (%2) values (%3)")
                         .arg(table, columns.join(QStringLiteral(", ")), values.join(QStringLiteral(", "))),
                     params);
    }
    tx.commit();
    // The fields not changed here show what is stored now.
    m_values = merged;
    m_saved = merged;
    m_touched.fill(false);
    m_storedCode = code;
}

bool PriceTable::resetToStandard() {
    if (m_standard) {
        return false;
    }
    if (!m_prompter.askYesNo(resetQuestion())) {
        return false;
    }
    resetToStandardNow();
    return true;
}

void PriceTable::resetCustomer(const QString& code) {
    if (code.trimmed().isEmpty()) {
        throw UserError(noCustomerText());
    }
    m_standard = false;
    m_code = code;
    const QVariant name =
        m_db.scalar(QStringLiteral("select Corp_name from Client where Corp_code=:corp_code"), {{"corp_code", code}});
    if (!name.isValid()) {
        throw UserError(noSuchCustomerText(code));
    }
    m_name = name.toString();
    resetToStandardNow();
}

void PriceTable::resetToStandardNow() {
    if (m_standard || m_code.isEmpty()) {
        throw UserError(noCustomerText());
    }
    const QVariantMap code{{QStringLiteral("corp_code"), m_code}};
    {
        WriteTransaction tx(m_db);
        requireCustomer(customerGoneText(m_code));
        ensureStandardRow();
        m_db.execute(QStringLiteral("update base_Dusmere_Price_Table set corp_code=:corp_code"), code);
        m_db.execute(QStringLiteral("delete from base_Dusmere_Customer_price_Table where  corp_code=:corp_code"), code);
        copyStandardForCustomer();
        tx.commit();
    }
    if (!read()) {
        throw UserError(QStringLiteral("客户[%1]的单价表没有建立").arg(m_code));
    }
    m_open = true;
}

void PriceTable::clear() {
    for (QVariant& v : m_values) {
        v = QVariant();
    }
    m_touched.fill(true);
}

void PriceTable::discard() {
    m_values = m_saved;
    m_touched.fill(false);
}

bool PriceTable::settleBeforePrint(const std::function<bool()>& save) {
    if (!isModified()) {
        return true;
    }
    if (!m_prompter.askYesNo(printQuestion())) {
        return false;
    }
    if (save) {
        return save();
    }
    this->save();
    return true;
}

bool PriceTable::close(const std::function<bool()>& save) {
    if (!isModified()) {
        return true;
    }
    return settleUnsavedChanges(
        m_prompter, closeQuestion(),
        [this, &save] {
            if (save) {
                return save();
            }
            this->save();
            return true;
        },
        [this] { discard(); });
}
