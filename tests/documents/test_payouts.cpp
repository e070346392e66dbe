#include <QSqlQuery>
#include <QTest>

#include "data/dataset.h"
#include "documents/document_fixture.h"
#include "documents/payout_editor.h"
#include "documents/payout_list.h"
#include "platform/errors.h"

using namespace DocumentFixture;

namespace {
// A book with the payouts given as (subject, day of June 2006, amount,
// remark) and the list of one kind of them open.
struct Payouts : Book {
    explicit Payouts(int kind, const QList<std::tuple<QString, int, int, QVariant>>& rows = {})
        : list(db(), prompter, kind) {
        for (const auto& [subject, day, amount, remark] : rows) {
            db().execute("insert into payout (paytime, subject, totalprice, remark) values (:t, :s, :a, :r)",
                         {{"t", QDate(2006, 6, day).startOfDay()}, {"s", subject}, {"a", amount}, {"r", remark}});
        }
        list.open();
    }
    PayoutEditor editor(int mode = PayoutEditor::New) { return PayoutEditor(list, prompter, clock.today(), mode); }
    int payouts(const QString& where = "1=1") { return count(db(), "select count(*) from payout where " + where); }
    PayoutList list;
};
}  // namespace

// Payouts of one kind: what the kind fixes, the editor's checks, saving and
// dropping a payout, the close question, the next payout and deleting.
class TestPayouts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    // A kind fixes the rows shown and a new payout's subject (remittances:
    // kind 4, subject 3); a kind outside the four shows every payout and
    // gives new ones no kind.
    void kindFixesRowsAndNewPayouts() {
        for (const auto& [kind, expected] : {std::pair{0, "0|运输费|运费|1"}, std::pair{4, "3|汇款|汇款|2"}}) {
            const QString subject = QString(expected).section('|', 0, 0);
            Payouts b(kind, {{"0", 1, 10, {}}, {"1", 1, 10, {}}, {"2", 1, 10, {}}, {"3", 1, 10, {}}, {"3", 1, 10, {}}});
            Dataset& rows = b.list.rows();
            QCOMPARE(values(rows, {"subject"}, rows.rowCount() - 1) + '|' + b.list.kind().title + '|' +
                         b.list.kind().heading + '|' + QString::number(rows.rowCount()),
                     QString(expected));
            PayoutEditor editor = b.editor();
            QCOMPARE(values(rows, {"subject", "paytime"}), subject + "|2006-06-25");
            rows.setValue("totalprice", 120);
            QVERIFY(editor.save() && !editor.isChanged());
            QCOMPARE(b.payouts("subject='" + subject + "' and totalprice=120"), 1);
            PayoutList all(b.db(), b.prompter, 7);
            all.open();
            QCOMPARE(all.kind().title + QString::number(all.rows().rowCount()), QString("支出管理6"));
            PayoutEditor orphan(all, b.prompter, b.clock.today(), PayoutEditor::New);
            QCOMPARE(refusal(orphan, b.prompter), QString("请填写[费用名目]"));
            QCOMPARE(b.payouts(), 6);
        }
        // Parsed, a remittance by its subject or its kind, a kind by its name
        // or heading; an empty subject: not a kind.
        for (const auto& [text, subject] : QList<QPair<QString, QString>>{
                 {"1", "1"}, {"4", "3"}, {"日杂费", "2"}, {"运费", "0"}, {"5", ""}, {"", ""}}) {
            PayoutKind kind;
            QVERIFY2(PayoutKind::parse(text, &kind) == !subject.isEmpty(), qPrintable(text));
            QVERIFY2(subject.isEmpty() || kind.subject == subject, qPrintable(text));
        }
    }

    // The editor's checks, collected; the largest amount is taken. A refused
    // payout stays to be put right, and nothing of it is written.
    void validationCollectsAndRefuses() {
        Payouts b(0);
        const QVariant day = QDate(2006, 6, 1).startOfDay();
        QStringList said;
        for (const auto& [subject, paytime, amount] : QList<std::tuple<QVariant, QVariant, QVariant>>{
                 {QString(), QVariant(), 5}, {"0", day, -1}, {"0", day, qint64(1000000000)}, {"0", day, 999999999}}) {
            PayoutEditor editor = b.editor();
            b.list.rows().setValue("subject", subject);
            b.list.rows().setValue("paytime", paytime);
            b.list.rows().setValue("totalprice", amount);
            const QString result = refusal(editor, b.prompter);
            said << result + QString(" %1 %2").arg(editor.isChanged()).arg(b.list.rows().rowCount());
            if (editor.isChanged()) {
                editor.cancel();
            }
        }
        QCOMPARE(said, QStringList({"请填写[费用名目,费用发生日期] 1 1", "支出金额不能是负数 1 1",
                                    "支出金额不能超过999999999 1 1", "saved 0 1"}));
        QCOMPARE(read(b.db(), "select totalprice from payout"), QString("999999999"));
    }

    void closeQuestionAnswers() {
        Payouts b(1, {{"1", 1, 300, "五月"}});
        {
            // A new payout closed with No: nothing stays.
            PayoutEditor editor = b.editor();
            b.prompter.setNextAnswer(false);
            QVERIFY(editor.close());
            QCOMPARE(b.prompter.lastText(), PayoutEditor::closeQuestion());
            QCOMPARE(b.list.rows().rowCount(), 1);
            QVERIFY(!b.list.rows().hasChanges());
        }
        b.list.rows().locate("remark", "五月");
        {
            // A question closed without an answer goes back to the editing.
            PayoutEditor editor = b.editor(PayoutEditor::Existing);
            b.list.rows().setValue("totalprice", 301);
            b.prompter.setNextCancel();
            QVERIFY(!editor.close());
            QCOMPARE(b.list.rows().value("totalprice").toInt(), 301);
            QCOMPARE(b.payouts("totalprice=300"), 1);
            // No: its values come back.
            b.prompter.setNextAnswer(false);
            QVERIFY(editor.close());
            QCOMPARE(b.list.rows().value("totalprice").toInt(), 300);
        }
        // Yes with an invalid payout keeps the window open.
        PayoutEditor editor = b.editor(PayoutEditor::Existing);
        b.list.rows().setValue("paytime", QVariant());
        b.prompter.setNextAnswer(true);
        QVERIFY(!editor.close());
        QCOMPARE(b.prompter.lastText(), QString("请填写[费用发生日期]"));
    }

    void deletingAsksAndTakesTheSelection() {
        Payouts b(0, {{"0", 1, 10, {}}, {"0", 2, 20, {}}, {"0", 3, 30, {}}});
        QVERIFY(!b.list.remove({}));
        QCOMPARE(b.prompter.lastText(), QString("请选择要删除的记录"));
        const QVariantList two{b.list.rows().value(0, "id"), b.list.rows().value(2, "id")};
        b.prompter.setNextAnswers({false, true});
        QVERIFY(!b.list.remove(two));
        QCOMPARE(b.prompter.lastText(), QString("确定要删除吗？"));
        QCOMPARE(b.payouts(), 3);
        QVERIFY(b.list.remove(two));
        QCOMPARE(read(b.db(), "select totalprice from payout"), QString("20"));
    }

    // A failed save keeps the payout to be saved again; the next payout
    // saves it, and it stays saved when the next one is dropped.
    void failedSaveKeepsThePayoutAndNextSavesIt() {
        Payouts b(2);
        PayoutEditor editor = b.editor();
        b.list.rows().setValue("totalprice", 77);
        b.list.rows().setValue("remark", "茶叶");
        failWhen(b.db(), "payout", "INSERT", "NEW.totalprice = 77");
        QVERIFY_THROWS_EXCEPTION(DbError, editor.save());
        QCOMPARE(b.payouts(), 0);
        QCOMPARE(b.list.rows().value("totalprice").toInt(), 77);
        stopFailing(b.db(), "payout");
        QVERIFY(editor.addNext());
        QCOMPARE(editor.mode(), int(PayoutEditor::New));
        QCOMPARE(b.payouts("remark='茶叶' and subject='2' and totalprice=77"), 1);
        editor.cancel();
        QCOMPARE(b.list.rows().rowCount(), 1);
        QCOMPARE(b.payouts(), 1);
        // Changed elsewhere meanwhile: the refusal names the payout by its day, not by its row id.
        b.db().execute("update payout set totalprice=78");
        PayoutEditor again = b.editor(PayoutEditor::Existing);
        b.list.rows().setValue("remark", "茶叶2");
        QString refused;
        try {
            again.save();
        } catch (const DbError& e) {
            refused = e.message();
        }
        QVERIFY2(refused.startsWith("保存失败：记录（发生日期“2006-06-25”）已被其他用户修改"), qPrintable(refused));
    }
};

QTEST_GUILESS_MAIN(TestPayouts)
#include "test_payouts.moc"
