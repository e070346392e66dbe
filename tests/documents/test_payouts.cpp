#include <QSqlQuery>
#include <QTest>

#include "data/dataset.h"
#include "documents/document_fixture.h"
#include "documents/payout_editor.h"
#include "documents/payout_list.h"
#include "platform/errors.h"

using namespace DocumentFixture;

// Payouts of one kind: what the kind fixes, the editor's checks, saving and
// dropping a payout, the close question, the next payout and deleting.
class TestPayouts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() { TestBooks::engineAvailable(); }

    void kindFixesRowsAndNewPayouts_data();
    void kindFixesRowsAndNewPayouts();
    void kindsAreParsedByNumberOrName_data();
    void kindsAreParsedByNumberOrName();
    void validationCollectsAndRefuses_data();
    void validationCollectsAndRefuses();
    void closeQuestionAnswers();
    void nextPayoutSavesThePreviousOne();
    void deletingAsksAndTakesTheSelection();
    void failedSaveKeepsThePayout();
    void hostileRemarkIsKeptAsTyped();

private:
    static void insertPayout(Database& db, const QString& subject, const QDate& day, int amount,
                             const QString& remark = QString());
};

void TestPayouts::insertPayout(Database& db, const QString& subject, const QDate& day, int amount,
                               const QString& remark) {
    db.execute("insert into payout (paytime, subject, totalprice, remark) values (:t, :s, :a, :r)",
               {{"t", day.startOfDay()}, {"s", subject}, {"a", amount}, {"r", remark.isNull() ? QVariant() : remark}});
}

void TestPayouts::kindFixesRowsAndNewPayouts_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("heading");
    // Remittances are kind 4 with subject 3.
    for (const auto& [kind, subject, title, heading] :
         QList<std::tuple<int, QString, QString, QString>>{{0, "0", "运输费", "运费"},
                                                           {1, "1", "工资", "工资"},
                                                           {2, "2", "日杂费", "日杂项"},
                                                           {4, "3", "汇款", "汇款"}}) {
        QTest::newRow(qPrintable(title)) << kind << subject << title << heading;
    }
}

void TestPayouts::kindFixesRowsAndNewPayouts() {
    QFETCH(int, kind);
    QFETCH(QString, subject);
    QFETCH(QString, title);
    QFETCH(QString, heading);
    Book b;
    for (const char* s : {"0", "1", "2", "3", "3"}) {
        insertPayout(b.db(), s, QDate(2006, 6, 1), 10);
    }
    PayoutList list(b.db(), b.prompter, kind);
    list.open();
    QCOMPARE(list.kind().title, title);
    QCOMPARE(list.kind().heading, heading);
    QCOMPARE(list.rows().rowCount(), subject == "3" ? 2 : 1);
    for (int r = 0; r < list.rows().rowCount(); ++r) {
        QCOMPARE(list.rows().value(r, "subject").toString(), subject);
    }

    PayoutEditor editor(list, b.prompter, b.clock.today(), PayoutEditor::New);
    QCOMPARE(list.rows().value("subject").toString(), subject);
    QCOMPARE(list.rows().value("paytime").toDate(), QDate(2006, 6, 25));
    list.rows().setValue("totalprice", 120);
    QVERIFY(editor.save());
    QVERIFY(!editor.isChanged());
    QCOMPARE(count(b.db(), "select count(*) from payout where subject=:s and totalprice=120", {{"s", subject}}), 1);

    // A kind outside the four shows every payout and gives new ones no kind.
    PayoutList all(b.db(), b.prompter, 7);
    all.open();
    QCOMPARE(all.kind().title, QString("支出管理"));
    QCOMPARE(all.rows().rowCount(), 6);
    PayoutEditor orphan(all, b.prompter, b.clock.today(), PayoutEditor::New);
    QVERIFY(!orphan.save());
    QCOMPARE(b.prompter.lastText(), QString("请填写[费用名目]"));
    QCOMPARE(count(b.db(), "select count(*) from payout"), 6);
}

void TestPayouts::kindsAreParsedByNumberOrName_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("subject");  // empty: not a kind
    // A remittance by its subject or its kind, a kind by its name or heading.
    for (const auto& [text, subject] : QList<QPair<QString, QString>>{
             {"1", "1"}, {"3", "3"}, {"4", "3"}, {"日杂费", "2"}, {"运费", "0"}, {"5", ""}, {"房租", ""}, {"", ""}}) {
        QTest::newRow(qPrintable("'" + text + "'")) << text << subject;
    }
}

void TestPayouts::kindsAreParsedByNumberOrName() {
    QFETCH(QString, text);
    QFETCH(QString, subject);
    PayoutKind kind;
    QCOMPARE(PayoutKind::parse(text, &kind), !subject.isEmpty());
    if (!subject.isEmpty()) {
        QCOMPARE(kind.subject, subject);
    }
}

void TestPayouts::validationCollectsAndRefuses_data() {
    QTest::addColumn<QVariant>("subject");
    QTest::addColumn<QVariant>("paytime");
    QTest::addColumn<QVariant>("amount");
    QTest::addColumn<QString>("message");
    const QVariant none;
    const QVariant day = QDate(2006, 6, 1).startOfDay();
    QTest::newRow("neither kind nor date")
        << QVariant(QString()) << none << QVariant(5) << "请填写[费用名目,费用发生日期]";
    QTest::newRow("no date") << QVariant("0") << none << QVariant(5) << "请填写[费用发生日期]";
    QTest::newRow("negative") << QVariant("0") << day << QVariant(-1) << "支出金额不能是负数";
    QTest::newRow("beyond the largest") << QVariant("0") << day << QVariant(qint64(1000000000))
                                        << "支出金额不能超过999999999";
    QTest::newRow("no amount") << QVariant("0") << day << none << "请填写[支出金额]";
    QTest::newRow("the largest") << QVariant("0") << day << QVariant(999999999) << "";
}

void TestPayouts::validationCollectsAndRefuses() {
    QFETCH(QVariant, subject);
    QFETCH(QVariant, paytime);
    QFETCH(QVariant, amount);
    QFETCH(QString, message);
    Book b;
    PayoutList list(b.db(), b.prompter, 0);
    list.open();
    PayoutEditor editor(list, b.prompter, b.clock.today(), PayoutEditor::New);
    list.rows().setValue("subject", subject);
    list.rows().setValue("paytime", paytime);
    list.rows().setValue("totalprice", amount);
    QCOMPARE(editor.save(), message.isEmpty());
    if (message.isEmpty()) {
        QVERIFY(b.prompter.messages().isEmpty());
        QCOMPARE(count(b.db(), "select count(*) from payout"), 1);
        const QVariant stored = b.db().scalar("select totalprice from payout");
        QCOMPARE(stored.isNull(), amount.isNull());
        QCOMPARE(stored.toLongLong(), amount.toLongLong());
    } else {
        QCOMPARE(b.prompter.lastText(), message);
        QCOMPARE(count(b.db(), "select count(*) from payout"), 0);
        // The payout is still there to be put right.
        QVERIFY(editor.isChanged());
        QCOMPARE(list.rows().rowCount(), 1);
    }
}

void TestPayouts::closeQuestionAnswers() {
    Book b;
    insertPayout(b.db(), "1", QDate(2006, 5, 1), 300, "五月");
    PayoutList list(b.db(), b.prompter, 1);
    list.open();
    {
        // A new payout left unchanged and closed with No: nothing stays.
        PayoutEditor editor(list, b.prompter, b.clock.today(), PayoutEditor::New);
        QCOMPARE(list.rows().rowCount(), 2);
        b.prompter.setNextAnswer(false);
        QVERIFY(editor.close());
        QCOMPARE(b.prompter.lastText(), PayoutEditor::closeQuestion());
        QCOMPARE(list.rows().rowCount(), 1);
        QVERIFY(!list.rows().hasChanges());
        QCOMPARE(count(b.db(), "select count(*) from payout"), 1);
    }
    {
        // An existing one changed and closed with No: its values come back.
        list.rows().locate("remark", "五月");
        PayoutEditor editor(list, b.prompter, b.clock.today(), PayoutEditor::Existing);
        QVERIFY(!editor.isChanged());
        list.rows().setValue("totalprice", 999);
        QVERIFY(editor.isChanged());
        b.prompter.setNextAnswer(false);
        QVERIFY(editor.close());
        QCOMPARE(list.rows().value("totalprice").toInt(), 300);
        QCOMPARE(b.db().scalar("select totalprice from payout").toInt(), 300);
    }
    {
        // A question closed without an answer goes back to the editing.
        PayoutEditor editor(list, b.prompter, b.clock.today(), PayoutEditor::Existing);
        list.rows().setValue("totalprice", 301);
        b.prompter.setNextCancel();
        QVERIFY(!editor.close());
        QVERIFY(editor.isChanged());
        QCOMPARE(list.rows().value("totalprice").toInt(), 301);
        QCOMPARE(b.db().scalar("select totalprice from payout").toInt(), 300);
        editor.cancel();
    }
    {
        // Yes saves; an invalid payout keeps the window open.
        PayoutEditor editor(list, b.prompter, b.clock.today(), PayoutEditor::Existing);
        list.rows().setValue("paytime", QVariant());
        b.prompter.setNextAnswer(true);
        QVERIFY(!editor.close());
        QCOMPARE(b.prompter.lastText(), QString("请填写[费用发生日期]"));
        list.rows().setValue("paytime", QDate(2006, 5, 2).startOfDay());
        list.rows().setValue("totalprice", 350);
        b.prompter.setNextAnswer(true);
        QVERIFY(editor.close());
        QCOMPARE(b.db().scalar("select totalprice from payout").toInt(), 350);
        QCOMPARE(count(b.db(), "select count(*) from payout"), 1);
    }
}

void TestPayouts::nextPayoutSavesThePreviousOne() {
    Book b;
    PayoutList list(b.db(), b.prompter, 2);
    list.open();
    PayoutEditor editor(list, b.prompter, b.clock.today(), PayoutEditor::New);
    list.rows().setValue("totalprice", 15);
    list.rows().setValue("remark", "茶叶");
    QVERIFY(editor.addNext());
    QCOMPARE(editor.mode(), int(PayoutEditor::New));
    QCOMPARE(count(b.db(), "select count(*) from payout where remark='茶叶' and subject='2'"), 1);
    QCOMPARE(list.rows().rowCount(), 2);
    // The first one stays saved when the second is dropped.
    editor.cancel();
    QCOMPARE(list.rows().rowCount(), 1);
    QCOMPARE(count(b.db(), "select count(*) from payout"), 1);
    QVERIFY(!editor.isChanged());

    // An invalid payout is not saved, and no next one is started.
    PayoutEditor second(list, b.prompter, b.clock.today(), PayoutEditor::New);
    list.rows().setValue("paytime", QVariant());
    QVERIFY(!second.addNext());
    QCOMPARE(list.rows().rowCount(), 2);
    QCOMPARE(count(b.db(), "select count(*) from payout"), 1);
}

void TestPayouts::deletingAsksAndTakesTheSelection() {
    Book b;
    for (int i = 1; i <= 4; ++i) {
        insertPayout(b.db(), "0", QDate(2006, 6, i), i * 10);
    }
    PayoutList list(b.db(), b.prompter, 0);
    list.open();
    QVERIFY(!list.remove({}));
    QCOMPARE(b.prompter.lastText(), QString("请选择要删除的记录"));

    const QVariantList two{list.rows().value(0, "id"), list.rows().value(2, "id")};
    b.prompter.setNextAnswer(false);
    QVERIFY(!list.remove(two));
    QCOMPARE(b.prompter.lastText(), QString("确定要删除吗？"));
    QCOMPARE(count(b.db(), "select count(*) from payout"), 4);

    b.prompter.setNextAnswer(true);
    QVERIFY(list.remove(two));
    QCOMPARE(count(b.db(), "select count(*) from payout"), 2);
    QCOMPARE(count(b.db(), "select count(*) from payout where id=:a or id=:b", {{"a", two[0]}, {"b", two[1]}}), 0);
}

void TestPayouts::failedSaveKeepsThePayout() {
    Book b;
    PayoutList list(b.db(), b.prompter, 0);
    list.open();
    PayoutEditor editor(list, b.prompter, b.clock.today(), PayoutEditor::New);
    list.rows().setValue("totalprice", 77);
    failWhen(b.db(), "payout", "INSERT", "NEW.totalprice = 77");
    QVERIFY_THROWS_EXCEPTION(DbError, editor.save());
    QCOMPARE(count(b.db(), "select count(*) from payout"), 0);
    QVERIFY(editor.isChanged());
    QCOMPARE(list.rows().rowCount(), 1);
    QCOMPARE(list.rows().value("totalprice").toInt(), 77);
    stopFailing(b.db(), "payout");
    QVERIFY(editor.save());
    QCOMPARE(count(b.db(), "select count(*) from payout where totalprice=77"), 1);
}

void TestPayouts::hostileRemarkIsKeptAsTyped() {
    Book b;
    PayoutList list(b.db(), b.prompter, 4);
    list.open();
    PayoutEditor editor(list, b.prompter, b.clock.today(), PayoutEditor::New);
    const QString hostile = "x'); delete from payout; -- 50%_\"汇款😀";
    list.rows().setValue("remark", hostile);
    list.rows().setValue("totalprice", 1);
    QVERIFY(editor.save());
    QCOMPARE(b.db().scalar("select remark from payout").toString(), hostile);
    // Beyond the column's 50 characters the remark is refused as typed.
    PayoutEditor next(list, b.prompter, b.clock.today(), PayoutEditor::New);
    list.rows().setValue("totalprice", 1);
    list.rows().setValue("remark", QString(51, QChar(u'长')));
    QVERIFY_THROWS_EXCEPTION(UserError, next.save());
    QVERIFY(next.isChanged());
    QCOMPARE(count(b.db(), "select count(*) from payout"), 1);
}

QTEST_GUILESS_MAIN(TestPayouts)
#include "test_payouts.moc"
