#include <QTest>

#include "data/dataset.h"
#include "document_fixture.h"
#include "documents/quotation_document.h"
#include "documents/quotation_list.h"
#include "documents/receipt_book.h"

using namespace DocumentFixture;

namespace {
struct Sent {
    qint64 statements = 0;
    qint64 roundTrips = 0;
};
template <class Action>
Sent sent(Database& db, Action action) {
    const StatementCounts before = db.counts();
    action();
    return {db.counts().statements - before.statements, db.counts().roundTrips - before.roundTrips};
}
void show(const char* what, Sent s) {
    qInfo("%s: %lld statements, %lld round trips", what, s.statements, s.roundTrips);
}
}  // namespace

class TestRoundTrips : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() {
        QTest::addColumn<QString>("engine");
        QTest::newRow("postgres") << QStringLiteral("postgres");
    }
    void init() { TestBooks::engineAvailable(); }

    void explore() {
        Book b;
        const QString no = storedQuotation(b, 200);
        std::unique_ptr<Quotation> q;
        show("open 200-line quotation", sent(b.db(), [&] { q = std::make_unique<Quotation>(b, QuotationDocument::Existing, no); }));
        show("change 10 lines and save", sent(b.db(), [&] {
                 for (int i = 0; i < 10; ++i) {
                     q->lines().setCurrentRow(i * 3);
                     q->lines().edit();
                     q->lines().setValue("QTY", 7 + i);
                     q->lines().post();
                 }
                 QVERIFY(q->save());
             }));
        ReceiptBook receipts(b.db(), b.clock, b.prompter, "a");
        show("open receipts", sent(b.db(), [&] { receipts.open(no); }));
        show("add receipt", sent(b.db(), [&] { QVERIFY(receipts.addReceipt()); }));
        QuotationList list(b.db(), b.prompter);
        show("quotation list", sent(b.db(), [&] { list.open(); }));
    }
};

QTEST_GUILESS_MAIN(TestRoundTrips)
#include "test_round_trips.moc"
