#include "master/master_import.h"

#include <algorithm>

#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <cmath>
#include <memory>

#include "data/database.h"
#include "data/field_def.h"
#include "data/name_initials.h"
#include "data/numbering.h"
#include "master/goods_rules.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/spreadsheet_writer.h"

namespace {
// The key of a goods row whose class the write makes first: its path.
const QString kNewClass = QStringLiteral("@class");

// A caption or a name as the file may write it: case, spaces and the
// width of letters and digits do not count ("E-mail", "商品 名称",
// "ＳＰ编号").
QString key(const QString& text) {
    QString out;
    for (const QChar c : text.normalized(QString::NormalizationForm_KC)) {
        if (!c.isSpace()) {
            out += c.toLower();
        }
    }
    return out;
}

// Numbers as people type them into spreadsheets: " 12 ", "1,234.50" with
// commas only between groups of three digits; "12,5" is no number (a
// decimal comma would be read a hundred times too large).
bool readNumber(const QString& text, double* value) {
    static const QRegularExpression grouped(QStringLiteral("^[-+]?[0-9]{1,3}(,[0-9]{3})+(\\.[0-9]+)?$"));
    QString t = text.trimmed();
    if (t.contains(',')) {
        if (!grouped.match(t).hasMatch()) {
            return false;
        }
        t.remove(',');
    }
    bool ok = false;
    *value = t.toDouble(&ok);
    return ok && std::isfinite(*value) && std::fabs(*value) < 1e13;
}

// C0 control characters but tab and line breaks: no editor can type them,
// and a server refuses NUL.
bool hasControlCharacters(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            return true;
        }
    }
    return false;
}
}  // namespace

MasterImport::MasterImport(Database& db, const Clock& clock, const QString& userName, MasterKind kind)
    : m_db(db), m_clock(clock), m_userName(userName), m_kind(kind) {
    m_targetGroup = 1;  // the root, which lists every record
}

QList<MasterImport::Field> MasterImport::fields() const {
    QList<Field> out;
    for (const MasterColumn& c : MasterColumns::listed(m_kind)) {
        if (c.shows == MasterColumn::Shows::Date || c.field.compare("Keyin_person", Qt::CaseInsensitive) == 0) {
            continue;  // set by the program
        }
        auto existing = std::find_if(out.begin(), out.end(),
                                     [&](const Field& f) { return f.name.compare(c.field, Qt::CaseInsensitive) == 0; });
        if (existing != out.end()) {
            existing->captions << c.caption;  // a field shown twice
            continue;
        }
        Field f{c.field, {c.caption, c.field}, Field::Text, c.cost};
        if (c.shows == MasterColumn::Shows::Number) {
            f.kind = Field::Number;
        } else if (c.shows == MasterColumn::Shows::UnitName) {
            f.kind = Field::Unit;
            f.captions << QStringLiteral("计量单位");
        } else if (c.shows == MasterColumn::Shows::SupplierName) {
            f.kind = Field::Supplier;
            f.captions << QStringLiteral("供应商");
        }
        out << f;
    }
    if (m_kind == MasterKind::Goods) {
        out << Field{
            QStringLiteral("Goods_class"), {QStringLiteral("商品分类"), QStringLiteral("Goods_class")}, Field::Class};
    } else {
        // Fields the editors show that the list does not.
        // (The order customers' list shows every field.)
        const QStringList extra = m_kind == MasterKind::Customers
                                      ? QStringList{"Linkman_postalcode|邮编", "Corp_address|酒店地址",
                                                    "recipients|收件人名称", "LinkMan_mobile|手机"}
                                  : m_kind == MasterKind::Suppliers ? QStringList{"provider_Corp_Address|公司地址"}
                                                                    : QStringList{};
        for (const QString& e : extra) {
            out << Field{e.section('|', 0, 0), {e.section('|', 1), e.section('|', 0, 0)}, Field::Text};
        }
    }
    return out;
}

QStringList MasterImport::importableFields() const {
    QStringList out;
    for (const Field& f : fields()) {
        if (!f.cost || m_seesCost) {
            out << f.name;
        }
    }
    return out;
}

QString MasterImport::unusedColumnNote(const QString& caption) const {
    for (const Field& f : fields()) {
        if (f.cost && std::any_of(f.captions.cbegin(), f.captions.cend(),
                                  [&](const QString& c) { return key(c) == key(caption); })) {
            return QStringLiteral("[%1]一列没有导入：没有查看成本利润的权限").arg(caption);
        }
    }
    for (const MasterColumn& c : MasterColumns::listed(m_kind)) {
        if (key(c.caption) == key(caption) || key(c.field) == key(caption)) {
            // The entry date and person are the import's own, whatever a
            // file says; the user is told so rather than left to wonder.
            if (c.shows == MasterColumn::Shows::Date || c.field.compare("Keyin_person", Qt::CaseInsensitive) == 0) {
                return QStringLiteral("[%1]一列由程序填写（导入的日期和用户），没有导入").arg(caption);
            }
            return QString();
        }
    }
    return QStringLiteral("[%1]一列没有对应的项目，没有导入").arg(caption);
}

QStringList MasterImport::leftOutColumns(const SpreadsheetReader::Sheet& sheet, const QStringList& mapping) const {
    const QStringList header = sheet.rows.value(0);
    qsizetype widest = header.size();
    for (const QStringList& row : sheet.rows) {
        widest = std::max(widest, row.size());
    }
    QStringList notes;
    for (int c = 0; c < widest; ++c) {
        if (!mapping.value(c).isEmpty()) {
            continue;
        }
        const QString caption = header.value(c).trimmed();
        if (caption.isEmpty()) {
            const bool holdsSomething =
                std::any_of(sheet.rows.cbegin() + 1, sheet.rows.cend(),
                            [c](const QStringList& row) { return !row.value(c).trimmed().isEmpty(); });
            if (holdsSomething) {
                notes << QStringLiteral("第 %1 列没有列标题，没有导入").arg(c + 1);
            }
        } else if (const QString field = guessMapping({caption}).value(0); !field.isEmpty()) {
            const qsizetype earlier = mapping.mid(0, c).indexOf(field);
            // A field the list shows twice (an export writes both columns)
            // is not worth a word when the two columns agree, nor is an
            // empty column.
            if (earlier >= 0 && !std::all_of(sheet.rows.cbegin() + 1, sheet.rows.cend(), [&](const QStringList& row) {
                    const QString text = row.value(c).trimmed();
                    return text.isEmpty() || text == row.value(earlier).trimmed();
                })) {
                notes << QStringLiteral("[%1]一列与前面的列重复，没有导入").arg(caption);
            }
        } else if (const QString note = unusedColumnNote(caption); !note.isEmpty()) {
            notes << note;
        }
    }
    return notes;
}

QStringList MasterImport::fieldCaptions(const QString& field) const {
    for (const Field& f : fields()) {
        if (f.name.compare(field, Qt::CaseInsensitive) == 0) {
            return f.captions;
        }
    }
    return {};
}

QStringList MasterImport::guessMapping(const QStringList& header) const {
    QStringList out;
    QSet<QString> taken;
    const QList<Field> all = fields();
    for (const QString& title : header) {
        QString found;
        for (const Field& f : all) {
            if ((f.cost && !m_seesCost) || taken.contains(f.name.toLower())) {
                continue;
            }
            for (const QString& caption : f.captions) {
                if (key(caption) == key(title)) {
                    found = f.name;
                    break;
                }
            }
            if (!found.isEmpty()) {
                break;
            }
        }
        if (!found.isEmpty()) {
            taken.insert(found.toLower());
        }
        out << found;
    }
    return out;
}

void MasterImport::setTargetGroup(const QVariant& groupId) {
    const QString groups = MasterColumns::groupTable(m_kind);
    const bool holdsGroups =
        m_db.scalar(QStringLiteral("select count(*) from %1 where Parent_id=:id").arg(groups), {{"id", groupId}})
            .toInt() > 0;
    // Goods may name their own class; only those that do not need the
    // target to be a class without sub-classes.
    if (holdsGroups && m_kind != MasterKind::Goods) {
        throw UserError(m_kind == MasterKind::Suppliers ? QStringLiteral("只能在没有子类的供应商类别里增加供应商")
                                                        : QStringLiteral("只能在没有子类的客户类别里增加客户"));
    }
    m_targetGroup = groupId;
}

void MasterImport::loadLookups() {
    m_lookupsLoaded = false;
    const QString table = MasterColumns::table(m_kind);
    m_codesInBook.clear();
    m_codesByNumber.clear();
    QSqlQuery codes = m_db.query(QStringLiteral("select %1 from %2").arg(MasterColumns::codeField(m_kind), table));
    while (codes.next()) {
        // Codes are told apart exactly, as the editors and the book's index do.
        const QString code = codes.value(0).toString();
        m_codesInBook.insert(code);
        m_codesByNumber.insert(withoutLeadingZeros(code), code);
    }
    m_textSizes.clear();
    for (const FieldDef& f : TableSchema::columns(m_db, table)) {
        if (f.type == FieldDef::Type::Text && f.size > 0) {
            m_textSizes.insert(f.name.toLower(), f.size);
        }
    }
    if (m_kind != MasterKind::Goods) {
        m_lookupsLoaded = true;
        return;
    }
    m_unitByName.clear();
    QSqlQuery units = m_db.query(QStringLiteral("select unit_code, Unit_name from unit"));
    while (units.next()) {
        const QString code = units.value(0).toString();
        for (const QString& name : {units.value(1).toString(), code}) {
            if (!key(name).isEmpty() && !m_unitByName[key(name)].contains(code)) {
                m_unitByName[key(name)] << code;
            }
        }
    }
    m_suppliers.clear();
    QSqlQuery suppliers =
        m_db.query(QStringLiteral("select Corp_code, provider_Corp_Name, provider_name from Provider"));
    while (suppliers.next()) {
        const QString code = suppliers.value(0).toString();
        const QString company = suppliers.value(1).toString();
        const QString person = suppliers.value(2).toString();
        for (const QString& name :
             {code, company, person, company + '(' + person + ')', company + QStringLiteral("（") + person + ")"}) {
            if (!key(name).isEmpty() && !m_suppliers[key(name)].contains(code)) {
                m_suppliers[key(name)] << code;
            }
        }
    }
    m_classes.clear();
    m_classChildren.clear();
    m_leafClasses.clear();
    m_classesWithGoods.clear();
    m_rootClass = 1;
    QSqlQuery classes = m_db.query(QStringLiteral(
        "select g.id, g.Class_name, g.Parent_id, (select count(*) from goods_group c where c.Parent_id = "
        "g.id), (select count(*) from goods s where s.Goods_class = g.id) from goods_group g order by g.id"));
    while (classes.next()) {
        const qint64 id = classes.value(0).toLongLong();
        const QString name = key(classes.value(1).toString());
        m_classes[name] << classes.value(0);
        const qint64 parent = classes.value(2).toLongLong();
        if (parent == -1) {
            m_rootClass = id;
        }
        m_classChildren.insert(QString::number(parent) + '|' + name, id);
        if (classes.value(3).toInt() == 0) {
            m_leafClasses.insert(id);
        }
        if (classes.value(4).toInt() > 0) {
            m_classesWithGoods.insert(id);
        }
    }
    m_lookupsLoaded = true;
}

QString MasterImport::checkRow(const QStringList& cells, const QStringList& mapping, QVariantMap& record) {
    const QList<Field>& all = m_fields;
    int filled = 0;
    for (int c = 0; c < mapping.size() && c < cells.size(); ++c) {
        if (mapping[c].isEmpty()) {
            continue;
        }
        const auto field = std::find_if(all.cbegin(), all.cend(), [&](const Field& f) {
            return f.name.compare(mapping[c], Qt::CaseInsensitive) == 0;
        });
        if (field == all.cend() || (field->cost && !m_seesCost)) {
            continue;
        }
        // The apostrophe a CSV export puts before a formula's first
        // character is taken off, also from a workbook a spreadsheet
        // program saved that file into, where it is part of the text.
        const QString text = SpreadsheetWriter::unguarded(cells[c].trimmed());
        if (text.isEmpty()) {
            continue;
        }
        if (hasControlCharacters(text)) {
            return QStringLiteral("[%1]中有不能保存的控制字符").arg(field->captions.first());
        }
        ++filled;
        const QString caption = field->captions.first();
        switch (field->kind) {
            case Field::Number: {
                double v = 0;
                if (!readNumber(text, &v)) {
                    return QStringLiteral("[%1]不是有效的数字: %2").arg(caption, text);
                }
                record.insert(field->name, v);
                break;
            }
            case Field::Unit: {
                const QStringList codes = m_unitByName.value(key(text));
                if (codes.isEmpty()) {
                    return QStringLiteral("找不到计量单位[%1]").arg(text);
                }
                if (codes.size() > 1) {
                    return QStringLiteral("有多个计量单位叫[%1]，请用单位编号").arg(text);
                }
                record.insert(field->name, codes.first());
                break;
            }
            case Field::Supplier: {
                const QStringList codes = m_suppliers.value(key(text));
                if (codes.isEmpty()) {
                    return QStringLiteral("找不到供应商[%1]").arg(text);
                }
                if (codes.size() > 1) {
                    return QStringLiteral("有多个供应商叫[%1]，请用供应商编号").arg(text);
                }
                record.insert(field->name, codes.first());
                break;
            }
            case Field::Class: {
                if (const QString refused = checkClass(text, record); !refused.isEmpty()) {
                    return refused;
                }
                break;
            }
            case Field::Text: {
                const int size = m_textSizes.value(field->name.toLower(), 0);
                if (size > 0 && text.size() > size) {
                    return QStringLiteral("[%1]超过 %2 个字").arg(caption).arg(size);
                }
                record.insert(field->name, text);
                break;
            }
        }
    }
    if (filled == 0) {
        return QStringLiteral("该行没有可导入的内容");
    }
    // The editors' rules.
    const QString codeField = MasterColumns::codeField(m_kind);
    const QString code = record.value(codeField).toString();
    if (m_kind == MasterKind::Goods) {
        if (const QString refused = GoodsRules::refusedCode(code); !code.isEmpty() && !refused.isEmpty()) {
            return refused;
        }
        // The class comes from the file or the group imported into.
        if (const QStringList missing = GoodsRules::missing(record, false); !missing.isEmpty()) {
            return GoodsRules::missingText(missing);
        }
        if (!record.contains("Goods_class") && !record.contains(kNewClass)) {
            // As the book is now: another workstation may have given the
            // class sub-classes since the import was aimed at it.
            if (!m_leafClasses.contains(m_targetGroup.toLongLong())) {
                return QStringLiteral(
                    "没有填写[商品分类]，而所选的类别有子类：请填写商品分类，或选择最末一级的类别再导入");
            }
            record.insert("Goods_class", m_targetGroup);
        }
        // Without a total it follows quantity and price, as in the editor;
        // a total given stays, as one typed into the editor after them does.
        if (!record.contains("Default_TotalPrice") && record.contains("Default_Qty") &&
            record.contains("Default_price")) {
            record.insert("Default_TotalPrice",
                          roundHalfAwayFromZero(
                              record.value("Default_Qty").toDouble() * record.value("Default_price").toDouble(), 2));
        }
    } else {
        record.insert(MasterColumns::groupField(m_kind), m_targetGroup);
    }
    if (!code.isEmpty() && m_codesInBook.contains(code)) {
        return QStringLiteral("编号[%1]已经存在").arg(code);
    }
    // A spreadsheet that read "00001" as a number gives back 1: the same
    // record again, not a new one.
    if (const QString existing = m_codesByNumber.value(withoutLeadingZeros(code));
        !code.isEmpty() && !existing.isEmpty()) {
        return QStringLiteral("编码[%1]与已有的编码[%2]只差前面的0").arg(code, existing);
    }
    return QString();
}

QString MasterImport::withoutLeadingZeros(const QString& code) {
    qsizetype i = 0;
    while (i < code.size() && code.at(i) == '0') {
        ++i;
    }
    return code.mid(i);
}

QString MasterImport::checkClass(const QString& text, QVariantMap& record) {
    QStringList path;
    for (const QString& part : text.split('/')) {
        if (!part.trimmed().isEmpty()) {
            path << part.trimmed();
        }
    }
    if (path.isEmpty()) {
        return QStringLiteral("找不到商品分类[%1]").arg(text);
    }
    const auto child = [this](qint64 parent, const QString& name) {
        return m_classChildren.value(QString::number(parent) + '|' + key(name), -1);
    };
    qint64 id = -1;
    if (path.size() == 1) {
        // A name alone: the one class of that name, wherever it is.
        const QVariantList ids = m_classes.value(key(path.first()));
        if (ids.size() > 1) {
            return QStringLiteral("有多个商品分类叫[%1]").arg(text);
        }
        id = ids.isEmpty() ? -1 : ids.first().toLongLong();
    } else {
        // A path from the top class down, which may name the top class too.
        if (child(m_rootClass, path.first()) < 0 &&
            m_classes.value(key(path.first())).contains(QVariant(m_rootClass))) {
            path.removeFirst();
        }
        id = m_rootClass;
        for (const QString& part : path) {
            id = id < 0 ? -1 : child(id, part);
        }
    }
    if (id < 0) {
        if (!m_createsClasses) {
            return QStringLiteral("找不到商品分类[%1]").arg(text);
        }
        // Made by the write: the classes of the path that are missing go
        // under the last one that exists, which must hold no goods.
        qint64 at = m_rootClass;
        for (const QString& part : path) {
            const qint64 next = child(at, part);
            if (next < 0) {
                break;
            }
            at = next;
        }
        if (at != m_rootClass && m_classesWithGoods.contains(at)) {
            return QStringLiteral("商品分类[%1]里已有商品，不能在它下面增加分类").arg(text);
        }
        record.insert(kNewClass, path.join('/'));
        return QString();
    }
    if (!m_leafClasses.contains(id)) {
        return QStringLiteral("只能选择最末一级的商品类别: %1").arg(text);
    }
    record.insert(QStringLiteral("Goods_class"), id);
    return QString();
}

MasterImport::Plan MasterImport::check(const SpreadsheetReader::Sheet& sheet, const QStringList& mapping) {
    loadLookups();
    return checkRows(sheet, mapping);
}

MasterImport::Plan MasterImport::checkAgain(const SpreadsheetReader::Sheet& sheet, const QStringList& mapping) {
    if (!m_lookupsLoaded) {
        loadLookups();
    }
    return checkRows(sheet, mapping);
}

MasterImport::Plan MasterImport::checkRows(const SpreadsheetReader::Sheet& sheet, const QStringList& mapping) {
    m_fields = fields();
    Plan plan;
    QSet<QString> inFile;
    QHash<QString, QString> inFileByNumber;
    const QString codeField = MasterColumns::codeField(m_kind);
    for (int r = 1; r < sheet.rows.size(); ++r) {
        QVariantMap record;
        QString reason = checkRow(sheet.rows[r], mapping, record);
        const QString code = record.value(codeField).toString();
        if (reason.isEmpty() && !code.isEmpty()) {
            const QString earlier = inFileByNumber.value(withoutLeadingZeros(code));
            if (inFile.contains(code)) {
                reason = QStringLiteral("编号[%1]在文件中出现了不止一次").arg(record.value(codeField).toString());
            } else if (!earlier.isEmpty()) {
                reason = QStringLiteral("编码[%1]与文件中前面的编码[%2]只差前面的0").arg(code, earlier);
            } else {
                inFile.insert(code);
                inFileByNumber.insert(withoutLeadingZeros(code), code);
            }
        }
        if (reason.isEmpty()) {
            plan.accepted << record;
            plan.acceptedRowNumbers << sheet.rowNumbers.value(r);
        } else {
            plan.refused << Refusal{sheet.rowNumbers.value(r), reason};
        }
    }
    // Classes made for the rows: one that another row's path goes below
    // takes no goods itself.
    QSet<QString> made;
    for (const QVariantMap& record : std::as_const(plan.accepted)) {
        if (record.contains(kNewClass)) {
            made.insert(key(record.value(kNewClass).toString()));
        }
    }
    for (int i = 0; i < plan.accepted.size();) {
        const QString path = key(plan.accepted[i].value(kNewClass).toString());
        const bool holdsClasses = !path.isEmpty() && std::any_of(made.cbegin(), made.cend(), [&](const QString& p) {
            return p.startsWith(path + '/');
        });
        if (holdsClasses) {
            plan.refused << Refusal{
                plan.acceptedRowNumbers[i],
                QStringLiteral("只能选择最末一级的商品类别: %1").arg(plan.accepted[i].value(kNewClass).toString())};
            plan.accepted.removeAt(i);
            plan.acceptedRowNumbers.removeAt(i);
        } else {
            if (!path.isEmpty() && !plan.newClasses.contains(plan.accepted[i].value(kNewClass).toString())) {
                plan.newClasses << plan.accepted[i].value(kNewClass).toString();
            }
            ++i;
        }
    }
    std::sort(plan.refused.begin(), plan.refused.end(),
              [](const Refusal& a, const Refusal& b) { return a.rowNumber < b.rowNumber; });
    return plan;
}

int MasterImport::write(const Plan& plan) {
    if (plan.accepted.isEmpty()) {
        return 0;
    }
    const QString table = MasterColumns::table(m_kind);
    const QString codeField = MasterColumns::codeField(m_kind);
    const QDateTime now = m_clock.now();
    WriteTransaction tx(m_db);
    Numbering numbering(m_db, m_clock);
    QHash<QString, std::shared_ptr<QSqlQuery>> statements;  // by the fields written
    const bool goods = m_kind == MasterKind::Goods;
    const QString counterTable = goods ? QStringLiteral("goods") : QStringLiteral("customer_provider");
    const QString counterField = goods ? QStringLiteral("code") : QStringLiteral("corp_code");
    static const QRegularExpression goodsCode(QStringLiteral("^SP[0-9]{8}$"));
    static const QRegularExpression corpCode(QStringLiteral("^[0-9]{5}$"));
    const QRegularExpression& counterCode = goods ? goodsCode : corpCode;
    // A code of the counter's own form given in the file moves the counter
    // past it first, so that no code drawn, now or later, is one taken.
    QString highest;
    QSet<QString> given;
    for (const QVariantMap& record : plan.accepted) {
        const QString code = record.value(codeField).toString();
        given.insert(code);
        if (counterCode.match(code).hasMatch() && code > highest) {
            highest = code;
        }
    }
    if (!highest.isEmpty()) {
        // Only ever forward, in one statement: codes of one width order as
        // their numbers, and another workstation's later code stays.
        m_db.execute(
            "update Sys_ID_Autoincrement set CurrID=:c where tablename=:t and fieldname=:f and CurrID < :below and "
            "LENGTH(CurrID) = :width",
            {{"c", highest},
             {"below", highest},
             {"width", int(highest.size())},
             {"t", counterTable},
             {"f", counterField}});
    }
    // Missing classes first, by their paths, each under the one before.
    QHash<QString, qint64> madeClasses;  // path key -> id
    const auto classOf = [&](const QString& path) {
        qint64 at = m_rootClass;
        QString soFar;
        for (const QString& part : path.split('/')) {
            soFar += '/' + key(part);
            if (const auto made = madeClasses.constFind(soFar); made != madeClasses.constEnd()) {
                at = made.value();
                continue;
            }
            if (const qint64 existing = m_classChildren.value(QString::number(at) + '|' + key(part), -1);
                existing >= 0) {
                at = existing;
                continue;
            }
            m_db.execute(QStringLiteral("insert into goods_group (Class_name, Parent_id, ico_no) values (:n, :p, 0)"),
                         {{"n", part}, {"p", at}});
            at = m_db.scalar(QStringLiteral("select max(id) from goods_group where Parent_id=:p and Class_name=:n"),
                             {{"p", at}, {"n", part}})
                     .toLongLong();
            madeClasses.insert(soFar, at);
        }
        return at;
    };
    for (QVariantMap record : plan.accepted) {
        if (record.contains(kNewClass)) {
            record.insert(QStringLiteral("Goods_class"), classOf(record.take(kNewClass).toString()));
        }
        if (record.value(codeField).toString().isEmpty()) {
            // A code typed into an editor ahead of the counter is skipped.
            QString code;
            for (int attempt = 0; attempt < 10000; ++attempt) {
                code = numbering.GetAutoIncrementID(counterTable, counterField, false);
                if (!m_codesInBook.contains(code) && !given.contains(code)) {
                    break;
                }
            }
            record.insert(codeField, code);
        }
        if (m_kind == MasterKind::Goods) {
            record.insert("Keyin_person", m_userName);
            record.insert("Keyin_time", now);
            record.insert("Update_time", now);
        }
        const QStringList names = record.keys();
        const QString shape = names.join(',');
        auto statement = statements.value(shape);
        if (!statement) {
            QStringList holders;
            for (int i = 0; i < names.size(); ++i) {
                holders << QStringLiteral(":v%1").arg(i);
            }
            QStringList columns;
            for (const QString& n : names) {
                columns << Database::checkIdentifier(n);
            }
            statement =
                m_db.prepared(QStringLiteral("insert into %1 (%2) values (%3)")
                                  .arg(table, columns.join(QStringLiteral(", ")), holders.join(QStringLiteral(", "))));
            statements.insert(shape, statement);
        }
        for (int i = 0; i < names.size(); ++i) {
            statement->bindValue(i, m_db.toDbValue(record.value(names[i])));
        }
        m_db.runBound(*statement);
    }
    NameInitials::fillMissing(m_db, table);
    tx.commit();
    return int(plan.accepted.size());
}
