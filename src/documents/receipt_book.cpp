#include "documents/receipt_book.h"

#include <QSqlRecord>
#include <cmath>
#include <utility>

#include "data/database.h"
#include "data/dataset.h"
#include "data/field_def.h"
#include "data/numbering.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/prompter.h"

namespace {
// One receipt line per goods name, size and unit of the quotation's lines,
// in the order the quotation prints them; lines whose goods are gone are
// named by their goods code. Sums and the average price are rounded to whole
// numbers, halves away from zero, before they are stored; the average is
// divided as decimals (SQLite divides whole numbers without a remainder).
// Rounding to six places first takes away what adding decimals in binary
// floating point leaves below a half (145.49 + 496.34 + 33.67), so an
// embedded book rounds as a server's exact decimals do. Names longer than
// a receipt line holds are cut.
// The quotation's goods as the receipt lines group them.
const QString kGroupedGoods = QStringLiteral(
    "from Quotation_Detail s left join goods g on g.code = s.GoodsNo "
    "where s.HeadNo = :q "
    "group by COALESCE(g.Goods_name, s.GoodsNo, ''), COALESCE(g.Goods_size, ''), COALESCE(g.Goods_unit, '') ");

const QString kBuildLines =
    QStringLiteral(
        "insert into Receipt_Detail (HeadNo, GoodsClassName, GoodsClassSize, GoodsClassUnit, QTY, Total_Price, "
        "Price, Remark) "
        "select :q, SUBSTR(COALESCE(g.Goods_name, s.GoodsNo, ''), 1, 50), SUBSTR(COALESCE(g.Goods_size, ''), 1, 50), "
        "SUBSTR(COALESCE(g.Goods_unit, ''), 1, 50), "
        "CAST(ROUND(ROUND(COALESCE(SUM(s.QTY), 0), 6), 0) AS INTEGER), "
        "CAST(ROUND(ROUND(COALESCE(SUM(s.Total_Price), 0), 6), 0) AS INTEGER), "
        "CASE WHEN COALESCE(SUM(s.QTY), 0) <> 0 "
        "THEN CAST(ROUND(ROUND(COALESCE(SUM(s.Total_Price), 0) * 1.0 / SUM(s.QTY), 6), 0) AS INTEGER) ELSE 0 END, "
        "'' ") +
    kGroupedGoods + QStringLiteral("order by MIN(s.SortNo), MIN(s.id)");

// What the lines built from the quotation add up to, freight aside.
const QString kBuiltLinesTotal =
    QStringLiteral(
        "select COALESCE(SUM(amount), 0) from (select CAST(ROUND(ROUND(COALESCE(SUM(s.Total_Price), 0), 6), 0) AS "
        "INTEGER) as amount ") +
    kGroupedGoods + QStringLiteral(") t");

// The quotation as the window shows it.
const char* const kQuotationStatement = "select * from Query_Quotation_Head_list where BillNo=:q";

const char* const kInsertReceipt =
    "insert into Receipt_Head (QuotationNo, BillNo, TotalPrice, BillType, keyin_User, keyin_Date, remark, state) "
    "values (:q, :b, :t, :k, :u, :d, :r, :s)";
}  // namespace

ReceiptBook::ReceiptBook(Database& db, const Clock& clock, Prompter& prompter, const QString& userName)
    : m_db(db),
      m_clock(clock),
      m_prompter(prompter),
      m_userName(userName),
      m_receipts(std::make_unique<Dataset>(db)),
      m_lines(std::make_unique<Dataset>(db)) {
    m_receipts->setUpdateTable("Receipt_Head");
    m_receipts->setRecordLabelField("BillNo");
    m_receipts->setAutoApply(true);
    m_lines->setUpdateTable("Receipt_Detail");
    m_lines->setAutoApply(true);
    m_receipts->setWriteGuard([this] { requireQuotation(); });
    m_lines->setWriteGuard([this] { requireQuotation(); });
    QObject::connect(m_receipts.get(), &Dataset::afterApply, m_receipts.get(), [this] { reloadQuotation(); });
    // A row that cannot be written (its quotation or the row itself was
    // deleted on another workstation) is dropped, so the window can always
    // be closed; the receipts are read again as the book has them.
    for (Dataset* rows : {m_receipts.get(), m_lines.get()}) {
        QObject::connect(rows, &Dataset::autoApplyFailed, rows, [this] {
            if (writeCannotSucceed()) {
                dropFailedWrites();
            }
        });
        // Receipts keep whole units: an amount typed with cents is said to
        // be rounded, not rounded without a word.
        QObject::connect(rows, &Dataset::valueRounded, rows,
                         [this, rows](const QString& field, double typed, double kept) {
                             const int f = rows->fieldIndex(field);
                             const QString caption = f >= 0 ? rows->fields()[f].label() : field;
                             m_roundingNote = QStringLiteral("%1只记整数：%2 已记为 %3")
                                                  .arg(caption, formatFixed(typed, -1), formatFixed(kept, 0));
                         });
    }
    QObject::connect(m_lines.get(), &Dataset::fieldChanged, m_lines.get(),
                     [this](const QString& field) { onLineFieldChanged(field); });
}

ReceiptBook::~ReceiptBook() = default;

void ReceiptBook::open(const QString& quotationNo) {
    if (quotationNo.isEmpty()) {
        throw UserError(QStringLiteral("请选择订货单"));
    }
    m_quotationNo = quotationNo;
    m_kinds.clear();
    // What the window shows first, in two statements: a server far away
    // answers each only after a round trip. The quotation is read on its
    // own, so that its columns are named without asking the server again.
    reloadQuotation();
    if (m_quotation.isEmpty()) {
        throw UserError(QStringLiteral("订货单[%1]不存在，可能已被其他用户删除").arg(quotationNo));
    }
    const QString countReceipts = QStringLiteral("select count(*) from Receipt_Head where QuotationNo=:q");
    const QVariantMap q{{"q", quotationNo}};
    int receipts = 0;
    m_db.readBatch({{"select d.StatusValue, d.StatusName from Sys_Status_Describe d, Sys_Status_Describe_head h "
                     "where d.paramentName=h.paramentName and h.TableName='Receipt_Head' and h.FieldName='BillType' "
                     "order by d.StatusValue"},
                    {countReceipts, q}},
                   [&](int i, QSqlQuery& r) {
                       if (i == 0) {
                           while (r.next()) {
                               m_kinds.append({r.value(0).toString(), r.value(1).toString()});
                           }
                       } else {
                           receipts = r.next() ? r.value(0).toInt() : 0;
                       }
                   });
    // Read first: a quotation that has its receipts needs no write, and so
    // no lock that would wait for another workstation's save.
    if (receipts == 0) {
        // Counted again inside the write, so two workstations opening a new
        // quotation's receipts at once make one deposit receipt. A new
        // quotation's lines are made in the same write.
        WriteTransaction tx(m_db);
        requireQuotation();
        if (m_db.scalar(countReceipts, q).toInt() == 0) {
            appendDeposit();
            if (m_db.scalar("select count(*) from Receipt_Detail where HeadNo=:q", q).toInt() == 0) {
                writeLines(m_db, m_quotationNo);
            }
            tx.commit();
            reloadQuotation();
        }
    }
    openReceipts();
    openLines();
    if (m_lines->isEmpty()) {
        buildLines();
    }
}

void ReceiptBook::requireQuotation() {
    // On a server the quotation's row is locked until the write ends, so a
    // delete from another workstation waits for it or is seen by it.
    const QString lock = m_db.isAccess() ? QString() : QStringLiteral(" for update");
    if (m_db.scalar("select count(*) from (select BillNo from Quotation_Head where BillNo=:b" + lock + ") q",
                    {{"b", m_quotationNo}})
            .toInt() == 0) {
        throw UserError(QStringLiteral("订货单[%1]已被其他用户删除，收据无法保存").arg(m_quotationNo));
    }
}

void ReceiptBook::reloadQuotation() {
    QSqlQuery q = m_db.query(kQuotationStatement, {{"q", m_quotationNo}});
    takeQuotation(q);
}

void ReceiptBook::takeQuotation(QSqlQuery& q) {
    m_quotation.clear();
    if (q.next()) {
        const QSqlRecord rec = q.record();
        for (int i = 0; i < rec.count(); ++i) {
            m_quotation.insert(rec.fieldName(i).toLower(), q.value(i));
        }
    }
}

void ReceiptBook::openReceipts() {
    m_receipts->open("select * from Receipt_Head where QuotationNo=:q order by BillNo", {{"q", m_quotationNo}});
    m_receipts->setCaption("BillNo", QStringLiteral("收据编号"));
    m_receipts->setCaption("TotalPrice", QStringLiteral("收款金额"));
    m_receipts->setCaption("BillType", QStringLiteral("收据类型"));
    m_receipts->setCaption("remark", QStringLiteral("备注"));
    m_receipts->setCaption("keyin_Date", QStringLiteral("制单日期"));
    m_receipts->setDisplayFormat("keyin_Date", "YYYY-MM-DD");
}

void ReceiptBook::openLines() {
    m_lines->open("select * from Receipt_Detail where HeadNo=:q order by id", {{"q", m_quotationNo}});
    m_lines->setCaption("GoodsClassName", QStringLiteral("货品名称"));
    m_lines->setCaption("GoodsClassSize", QStringLiteral("规格"));
    m_lines->setCaption("GoodsClassUnit", QStringLiteral("计量单位"));
    m_lines->setCaption("QTY", QStringLiteral("数量"));
    m_lines->setCaption("Price", QStringLiteral("单价"));
    m_lines->setCaption("Total_Price", QStringLiteral("金额"));
}

QString ReceiptBook::newReceiptNo() {
    return Numbering(m_db, m_clock).GetAutoIncrementID("Receipt_Head", "BillNo", false);
}

void ReceiptBook::appendDeposit() {
    const QVariant earnest = m_quotation.value("earnest");
    m_db.execute(kInsertReceipt, {{"q", m_quotationNo},
                                  {"b", newReceiptNo()},
                                  {"t", roundHalfAwayFromZero(earnest.isNull() ? 0.0 : earnest.toDouble(), 0)},
                                  {"k", 0},
                                  {"u", m_userName},
                                  {"d", m_db.toDbValue(m_clock.today())},
                                  {"r", QVariant(QMetaType::fromType<QString>())},
                                  {"s", m_quotation.value("state", 1)}});
}

bool ReceiptBook::buildLines() {
    try {
        WriteTransaction tx(m_db);
        requireQuotation();
        writeLines(m_db, m_quotationNo);
        tx.commit();
    } catch (const UserError& e) {
        // A refusal of ours (the quotation deleted elsewhere): said as it
        // stands, and the window reads again what is left.
        m_prompter.inform(e.message());
        dropFailedWrites();
        return false;
    } catch (const std::exception& e) {
        m_prompter.failure(QStringLiteral("执行SQL命令出错,所有事务将被回滚!"), userTextOf(e) + '\n' + detailsOf(e));
        dropFailedWrites();
        return false;
    }
    openLines();
    return true;
}

void ReceiptBook::writeLines(Database& db, const QString& quotationNo) {
    // Prepared once per connection: the demo book writes the lines of many
    // quotations in a row.
    const QVariantMap q{{"q", quotationNo}};
    db.run(*db.prepared("delete from Receipt_Detail where HeadNo=:q"), q);
    db.run(*db.prepared(kBuildLines), q);
    const std::shared_ptr<QSqlQuery> freightStatement =
        db.prepared("select Freight from Quotation_Head where BillNo=:q");
    QSqlQuery& f = *freightStatement;
    db.run(f, q);
    const QVariant freight = f.next() ? f.value(0) : QVariant();
    f.finish();
    if (!freight.isNull() && freight.toDouble() > 0) {
        db.run(
            *db.prepared("insert into Receipt_Detail (HeadNo, GoodsClassName, Total_Price) values (:q, :n, :t)"),
            {{"q", quotationNo}, {"n", QStringLiteral("运费")}, {"t", roundHalfAwayFromZero(freight.toDouble(), 0)}});
    }
}

bool ReceiptBook::rebuildLines() {
    if (!m_prompter.askYesNo(
            QStringLiteral("重置明细将会把现有的收据明细删除掉，然后根据报价单重新生成，确定要重置吗？"))) {
        return false;
    }
    postPending();
    return buildLines();
}

void ReceiptBook::renewDeposit() {
    postPending();
    reloadQuotation();
    {
        // The old deposit receipts go only when the new one is written.
        WriteTransaction tx(m_db);
        requireQuotation();
        m_db.execute("delete from Receipt_Head where BillType=0 and QuotationNo=:q", {{"q", m_quotationNo}});
        appendDeposit();
        tx.commit();
    }
    openReceipts();
    reloadQuotation();
}

QString ReceiptBook::takeRoundingNote() {
    return std::exchange(m_roundingNote, QString());
}

bool ReceiptBook::isInForce() const {
    return m_quotation.value("state", 1).toInt() == 1;
}

QString ReceiptBook::linesDifferenceNote() const {
    if (m_lines->isEmpty() || m_quotation.isEmpty()) {
        return {};
    }
    double lines = 0;
    for (int r = 0; r < m_lines->rowCount(); ++r) {
        lines += m_lines->value(r, "Total_Price").toDouble();
    }
    const double due = m_quotation.value("total_price").toDouble();
    const double difference = roundHalfAwayFromZero(lines - due, 2);
    if (difference == 0) {
        return {};
    }
    // Lines as the build makes them differ from the amount due only by
    // their whole units and the discount, which no line carries: building
    // them again would change nothing.
    const double freight = m_quotation.value("freight").toDouble();
    const double built = m_db.scalar(kBuiltLinesTotal, {{"q", m_quotationNo}}).toDouble() +
                         (freight > 0 ? roundHalfAwayFromZero(freight, 0) : 0.0);
    if (built == lines) {
        const double discount = m_quotation.value("preferential").toDouble();
        return QStringLiteral("明细合计%1与应收款%2相差%3：%4")
            .arg(formatNumber(lines, "#,##0.00"), formatNumber(due, "#,##0.00"),
                 formatNumber(std::abs(difference), "#,##0.00"),
                 discount != 0 ? QStringLiteral("明细不含优惠%1，金额只记整数").arg(formatNumber(discount, "#,##0.00"))
                               : QStringLiteral("明细金额只记整数"));
    }
    return QStringLiteral("明细合计%1与应收款%2相差%3，可用“重置明细”按订货单重新生成")
        .arg(formatNumber(lines, "#,##0.00"), formatNumber(due, "#,##0.00"),
             formatNumber(std::abs(difference), "#,##0.00"));
}

bool ReceiptBook::addReceipt() {
    postPending();
    // Money taken against a quotation out of force is taken knowingly.
    if (!isInForce() &&
        !m_prompter.askYesNo(QStringLiteral("订货单[%1]已失效，确定还要对它收款吗？").arg(m_quotationNo))) {
        return false;
    }
    const QString number = [&] {
        WriteTransaction tx(m_db);
        requireQuotation();
        const QString no = newReceiptNo();
        m_db.execute(kInsertReceipt, {{"q", m_quotationNo},
                                      {"b", no},
                                      {"t", QVariant(QMetaType::fromType<double>())},
                                      {"k", 1},
                                      {"u", m_userName},
                                      {"d", m_db.toDbValue(m_clock.today())},
                                      {"r", m_quotation.value("remark").toString().left(50)},
                                      {"s", m_quotation.value("state", 1)}});
        tx.commit();
        return no;
    }();
    openReceipts();
    m_receipts->locate("BillNo", number);
    reloadQuotation();
    return true;
}

bool ReceiptBook::deleteReceipts(const QList<int>& rows) {
    if (rows.isEmpty() || m_receipts->isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择要删除的收据"));
        return false;
    }
    if (m_receipts->isEditing()) {
        m_receipts->post();
    }
    m_receipts->deleteRows(rows);
    reloadQuotation();
    return true;
}

void ReceiptBook::addLine() {
    postPending();
    requireQuotation();
    // Nothing is written until something is typed into the new line.
    m_lines->appendDraft({{"HeadNo", m_quotationNo}});
}

bool ReceiptBook::addGoodsLine(const QString& goodsCode) {
    postPending();
    requireQuotation();
    QSqlQuery g = m_db.query(
        "select Goods_name, Goods_size, Goods_unit, Default_Qty, Default_price, Default_TotalPrice from goods where "
        "code=:c",
        {{"c", goodsCode}});
    if (!g.next()) {
        m_prompter.inform(QStringLiteral("以下货品已不存在，未能添加：%1").arg(goodsCode));
        return false;
    }
    const QSqlRecord goods = g.record();
    g.finish();
    auto whole = [&goods](const char* field) {
        return goods.isNull(field) ? QVariant() : QVariant(roundHalfAwayFromZero(goods.value(field).toDouble(), 0));
    };
    // The goods' values are the line's own: typed, not a draft's presets.
    m_lines->appendDraft({{"HeadNo", m_quotationNo}});
    m_lines->setValue("GoodsClassName", goods.value("Goods_name").toString().left(50));
    m_lines->setValue("GoodsClassSize", goods.value("Goods_size").toString().left(50));
    m_lines->setValue("GoodsClassUnit", goods.value("Goods_unit").toString().left(50));
    m_lines->setValue("QTY", whole("Default_Qty"));
    m_lines->setValue("Price", whole("Default_price"));
    m_lines->setValue("Total_Price", whole("Default_TotalPrice"));
    m_lines->post();
    return true;
}

bool ReceiptBook::deleteLines(const QList<int>& rows) {
    if (rows.isEmpty() || m_lines->isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择要删除的货品"));
        return false;
    }
    if (m_lines->isEditing()) {
        m_lines->post();
    }
    m_lines->deleteRows(rows);
    return true;
}

void ReceiptBook::postPending() {
    // Writing posts an open edit first; a write that fails is dropped.
    for (Dataset* rows : {m_receipts.get(), m_lines.get()}) {
        if (rows->hasChanges()) {
            try {
                rows->applyUpdates();
            } catch (const OlvendError&) {
                if (writeCannotSucceed()) {
                    dropFailedWrites();
                }
                throw;
            }
        }
    }
}

bool ReceiptBook::writeCannotSucceed() {
    // Outside a transaction only: inside one the book is read as it is
    // about to stop being.
    if (m_db.transactionDepth() > 0) {
        return false;
    }
    try {
        if (m_db.scalar("select count(*) from Quotation_Head where BillNo=:b", {{"b", m_quotationNo}}).toInt() == 0) {
            return true;  // the quotation was deleted elsewhere
        }
        for (Dataset* rows : {m_receipts.get(), m_lines.get()}) {
            if (rows->hasChanges()) {
                rows->checkUnchangedElsewhere();
            }
        }
    } catch (const DbError& e) {
        return e.kind() == DbError::Kind::RecordChanged;
    } catch (const OlvendError&) {
        return false;
    }
    // Another cause (the book busy, the server away): the edits stay to be
    // written again, or dropped by the user.
    return false;
}

void ReceiptBook::discardPending() {
    dropFailedWrites();
}

void ReceiptBook::dropFailedWrites() {
    for (Dataset* rows : {m_receipts.get(), m_lines.get()}) {
        if (rows->isEditing()) {
            rows->cancel();
        }
        rows->cancelUpdates();
    }
    // Read again only outside a transaction: inside one (a failed write
    // still rolling back) the rows would be read as they are about to stop
    // being.
    if (m_db.transactionDepth() > 0) {
        return;
    }
    m_roundingNote.clear();
    try {
        // The quotation's amounts first: the windows show them again as
        // soon as the rows are read.
        reloadQuotation();
        openReceipts();
        openLines();
    } catch (const OlvendError& e) {
        // The failure that led here is the one the user is told of.
        qWarning("receipts not read again after a failed write: %s", e.what());
    }
}

QString ReceiptBook::receiptToPrint(const QList<int>& rows) {
    if (rows.isEmpty() || m_receipts->isEmpty()) {
        m_prompter.inform(QStringLiteral("请选择一条收据"));
        return {};
    }
    postPending();
    return m_receipts->value(rows.first(), "BillNo").toString();
}

void ReceiptBook::onLineFieldChanged(const QString& field) {
    if (m_computing || !m_lines->isEditing()) {
        return;
    }
    const QString f = field.toLower();
    if (f != "qty" && f != "price") {
        return;
    }
    m_computing = true;
    try {
        const QVariant qty = m_lines->value("QTY");
        const QVariant price = m_lines->value("Price");
        m_lines->setValue("Total_Price",
                          roundHalfAwayFromZero(
                              (qty.isNull() ? 0.0 : qty.toDouble()) * (price.isNull() ? 0.0 : price.toDouble()), 0));
    } catch (...) {
        m_computing = false;
        throw;
    }
    m_computing = false;
}
