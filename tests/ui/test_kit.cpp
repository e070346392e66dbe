#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QCoreApplication>
#include <QDrag>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <utility>

#include "data/book_checks.h"
#include "data/dataset.h"
#include "platform/ansi_text.h"
#include "platform/errors.h"
#include "support/goods_rows.h"
#include "support/test_books.h"
#include "ui/chinese_translations.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/footer_bar.h"
#include "ui/grid_cell_delegate.h"
#include "ui/grid_model.h"
#include "ui/guarded_application.h"
#include "ui/message_box_prompter.h"
#include "ui/progress_note.h"
#include "ui/tree_list.h"

namespace {
// Throws from its event handler, as a handler that forgot its guard would.
class Throwing : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            throw UserError(QStringLiteral("请填写[商品名称]"));
        }
        if (e->type() == QEvent::User + 1) {
            throw std::out_of_range("index 3");
        }
        return QObject::event(e);
    }
};
}  // namespace

// The widgets of the window kit, offscreen, in the program's application object.
class TestKit : public QObject {
    Q_OBJECT
    ScriptedPrompter& m_stopped;  // what the application stopped and showed
    std::unique_ptr<TestBooks::FreshBook> m_book;
    std::unique_ptr<Dataset> m_goods;

public:
    explicit TestKit(ScriptedPrompter& stopped) : m_stopped(stopped) {}

private slots:
    void init() {
        m_book = std::make_unique<TestBooks::FreshBook>("sqlite");
        m_goods = std::make_unique<Dataset>(m_book->db());
    }

    // Nothing a test did escaped a guard.
    void cleanup() {
        m_goods.reset();
        m_book.reset();
        QVERIFY2(m_stopped.messages().isEmpty(), qPrintable(m_stopped.lastText()));
    }

    // Whatever throws in the event loop, sent or posted, is stopped and shown; the program goes on.
    void eventsThatThrowAreShown() {
        Throwing target;
        QEvent rule(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&target, &rule));
        QEvent other(QEvent::Type(QEvent::User + 1));
        QVERIFY(!QCoreApplication::sendEvent(&target, &other));
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        bool later = false;
        QTimer::singleShot(0, [&later] { later = true; });
        QTRY_VERIFY(later);
        QCOMPARE(m_stopped.texts(),
                 QStringList({"请填写[商品名称]", "操作失败：程序内部错误（index 3）", "请填写[商品名称]"}));
        m_stopped.clear();
    }

    // Drag carries the selected keys; sorting keeps the selection; double click and Enter; Escape undoes.
    void selectionDragSortAndKeys() {
        DataGrid grid;
        grid.setMultiSelect(true);
        TestBooks::fillGoods(*m_goods, 5);
        grid.setDataset(m_goods.get());
        QList<GridColumn> cols = TestBooks::goodsColumns(m_book->db());
        cols[1].editable = true;  // the name
        grid.setColumns(cols);
        grid.setReadOnly(false);
        grid.resize(700, 400);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setInitialSort("code", Qt::DescendingOrder);
        QCOMPARE(grid.model()->index(0, 0).data().toString(), QString("SP00000005"));
        grid.setDragKeyField("id");
        GridView* view = grid.view();
        const auto select = [&grid] {
            grid.view()->clearSelection();
            for (int row : {1, 3}) {  // dataset rows 3 and 1
                grid.view()->selectionModel()->select(grid.model()->index(row, 0),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
        };
        select();
        const QPoint from = view->visualRect(grid.model()->index(1, 0)).center();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
        for (int step = 1; step <= 3; ++step) {
            QTest::mouseMove(view->viewport(), from + QPoint(0, step * QApplication::startDragDistance()));
        }
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, from);
        // The drag has ended (offscreen nothing takes it) and waits to be deleted.
        const QDrag* drag = view->findChild<QDrag*>();
        QVERIFY(drag);
        QStringList keys = QString::fromUtf8(drag->mimeData()->data(DataGrid::kRowsMimeType)).split('\n');
        keys.sort();
        QStringList expected{m_goods->value(3, "id").toString(), m_goods->value(1, "id").toString()};
        expected.sort();
        QCOMPARE(keys, expected);
        select();
        grid.model()->sort(3, Qt::AscendingOrder);
        QCOMPARE(grid.model()->index(0, 0).data().toString(), QString("SP00000001"));
        QCOMPARE(grid.selectedRows(), QList<int>({1, 3}));
        view->setCurrentIndex(grid.model()->index(4, 1));
        QCOMPARE(m_goods->currentRow(), 4);
        m_goods->setCurrentRow(2);
        QCOMPARE(view->currentIndex().row(), 2);
        QSignalSpy activated(&grid, &DataGrid::rowDoubleClicked);
        const QRect cell = view->visualRect(grid.model()->index(2, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        view->setFocus();
        view->setCurrentIndex(grid.model()->index(3, 0));
        QTest::keyClick(view, Qt::Key_Enter);
        QCOMPARE(QList<QVariantList>(activated), QList<QVariantList>({{2}, {3}}));
        view->setCurrentIndex(grid.model()->index(0, 1));
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(view->isEditing());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(m_goods->value(0, "Goods_name").toString(), QString("合页1"));
        QCOMPARE(m_goods->rowStatus(0), Dataset::RowStatus::Unchanged);
        // A grid made short gives up rows, never the height of its footer.
        grid.setFooter({FooterSummary::count("code", "共 0 种商品")});
        grid.resize(700, 60);
        QApplication::processEvents();
        const QWidget* footer = grid.findChild<FooterBar*>();
        QVERIFY(footer && footer->isVisible());
        QCOMPARE(footer->height(), footer->sizeHint().height());
    }

    // The tree's current node, the drops it refuses, its bound dataset.
    void treeListDropsAndDataset() {
        TreeList tree;
        tree.setNodes({{1, -1, "全部", 0}, {2, 1, "甲", 0}, {3, 2, "乙", 0}, {4, 1, "丙", 0}});
        QSignalSpy current(&tree, &TreeList::currentNodeChanged);
        QVERIFY(tree.setCurrentId(3) && !tree.setCurrentId(42));
        QCOMPARE(current.count(), 1);
        QCOMPARE(tree.currentId().toInt(), 3);
        tree.expandAll();
        QVERIFY(tree.isExpanded(tree.treeModel()->indexOfId(2)));
        QSignalSpy nodes(&tree, &TreeList::nodesDropped);
        QSignalSpy rows(&tree, &TreeList::rowsDropped);
        QVERIFY(!tree.performDrop({false, {"2"}, 3}) && !tree.performDrop({false, {"2"}, 2}));
        QVERIFY(tree.performDrop({false, {"3"}, 4}));
        QCOMPARE(nodes.count(), 1);
        tree.setDropFilter([&tree](const TreeList::Drop& d) { return !tree.treeModel()->hasChildren(d.targetId); });
        QVERIFY(!tree.performDrop({true, {"17", "18"}, 1}) && !tree.performDrop({true, {"17"}, 42}));
        QVERIFY(tree.performDrop({true, {"17", "18"}, 4}));
        QCOMPARE(rows.count(), 1);
        QCOMPARE(rows.first().first().toStringList(), QStringList({"17", "18"}));

        Dataset groups(m_book->db());
        groups.openTable("Client_group", "id");
        tree.bind(&groups, "id", "Parent_id", "Class_name", "ico_no");
        QCOMPARE(tree.treeModel()->nodeCount(), 1);
        BookChecks::appendRow(groups, {{"Class_name", "北京"}, {"Parent_id", 1}});
        groups.post();
        QCOMPARE(tree.treeModel()->nodeCount(), 2);
        QVERIFY(tree.setCurrentId(1));
        QCOMPARE(groups.value("Class_name").toString(), QString("全部客户"));
    }

    // A date that does not exist is said, never made another, and refused on save until corrected.
    void dateEditTypingAndImpossibleDates() {
        NullableDateEdit date;
        date.show();
        date.setFocus();
        QSignalSpy edited(&date, &NullableDateEdit::valueEdited);
        QTest::keyClicks(&date, "2025-03-04");
        QCOMPARE(date.value().toDate(), QDate(2025, 3, 4));
        QVERIFY(!edited.isEmpty());
        Dataset heads(m_book->db());
        heads.open("select * from Quotation_Head where 1=2");
        heads.append();
        heads.setCaption("Send_Date", "交货日期");
        FieldBinder binder(&heads);
        binder.bind(&date, "Send_Date");
        for (const auto& [typed, said] : {std::pair{"2026-02-30", "2026-02-30"}, std::pair{"2026-13-45", "没有13月"}}) {
            date.selectAll();
            QTest::keyClicks(&date, typed);
            QVERIFY2(date.rejection().contains(QString::fromUtf8(said)), qPrintable(date.rejection()));
            // The box shows what was typed, not the date it holds meanwhile.
            QCOMPARE(date.text().left(8), QString(typed).left(8));
            QVERIFY(QString(typed) != "2026-02-30" || date.text() == "2026-02-30");
            // The field shown again as it stands (another box of the record was typed into) keeps the typed text.
            date.setValue(date.value());
            QCOMPARE(date.text().left(8), QString(typed).left(8));
            const QString refused = BookChecks::refusal([&binder] { binder.requireNumbersAsTyped(); });
            QVERIFY2(refused.contains("交货日期") && refused.contains(QString::fromUtf8(said)), qPrintable(refused));
        }
        // A month typed over the 31st moves the day: said too.
        date.setValue(QDate(2026, 1, 31));
        date.setSelectedSection(QDateTimeEdit::MonthSection);
        QTest::keyClicks(&date, "02");
        QVERIFY2(date.rejection().contains("2026-02-31"), qPrintable(date.rejection()));
        date.selectAll();
        QTest::keyClicks(&date, "2026-02-28");
        QVERIFY(date.rejection().isEmpty());
        binder.requireNumbersAsTyped();
        QCOMPARE(heads.value("Send_Date").toDateTime().date(), QDate(2026, 2, 28));
        // Digits typed after a click into a full section (no selection) make that section afresh.
        auto* text = date.findChild<QLineEdit*>();
        for (const auto& [at, typed, made] :
             {std::tuple{9, "15", QDate(2026, 2, 15)}, std::tuple{8, "5", QDate(2026, 2, 5)},
              std::tuple{6, "3", QDate(2026, 3, 28)}, std::tuple{2, "2025", QDate(2025, 2, 28)}}) {
            date.setValue(QDate(2026, 2, 28));
            text->deselect();
            text->setCursorPosition(at);
            QTest::keyClicks(&date, typed);
            QCOMPARE(date.value().toDate(), made);
            QVERIFY2(date.rejection().isEmpty(), qPrintable(date.rejection()));
        }
        text->setCursorPosition(9);
        QTest::keyClicks(&date, "31");
        QVERIFY2(date.rejection().contains("2025-02-31"), qPrintable(date.rejection()));
        // A click right behind the digits just typed also starts the day afresh.
        date.selectAll();
        QTest::keyClicks(&date, "2026-02-28");
        QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(text->width() - 2, text->height() / 2));
        QCOMPARE(text->cursorPosition(), 10);
        QTest::keyClicks(&date, "5");
        QCOMPARE(date.value().toDate(), QDate(2026, 2, 5));
    }

    // Bound editors show the row and write what is typed; empty values stay empty.
    void editorsBindAndHoldNullValues() {
        TestBooks::fillGoods(*m_goods, 2);
        QLineEdit name;
        QLineEdit time;
        NumberEdit price;
        MemoEdit remark;
        LookupCombo unit;
        unit.setLookup(TestBooks::unitLookup(m_book->db()));
        FieldBinder binder(m_goods.get());
        binder.bind(&name, "Goods_name");
        binder.bind(&time, "Keyin_time");
        binder.bind(&price, "Default_price");
        binder.bind(&remark, "remark");
        binder.bind(&unit, "Goods_unit");
        QCOMPARE(QStringList({name.text(), time.text(), unit.currentText(), QString::number(name.maxLength())}),
                 QStringList({"合页1", "2006-12-02 10:00:00", "个", "100"}));
        QTest::keyClicks(&name, "X");
        QCOMPARE(m_goods->state(), Dataset::State::Edit);
        QCOMPARE(m_goods->value("Goods_name").toString(), QString("合页1X"));
        m_goods->post();
        m_goods->setCurrentRow(1);
        QCOMPARE(name.text(), QString("Lock_2"));
        QCOMPARE(price.value().toDouble(), 3.0);
        m_goods->setValue("remark", "新备注");
        QCOMPARE(remark.toPlainText(), QString("新备注"));
        unit.setCurrentIndex(unit.findText("套"));
        emit unit.valueEdited();
        QCOMPARE(m_goods->value("Goods_unit").toString(), QString("UN003"));
        unit.setValue("UN404");
        QVERIFY(unit.value().isNull());

        NullableDateEdit date;
        date.setValue(QDateTime(QDate(2007, 1, 2), QTime(10, 0)));
        QCOMPARE(date.value().toDate(), QDate(2007, 1, 2));
        date.setValue(QVariant());
        price.setFormat("0.00");
        price.setValue(QVariant());
        CheckEdit check;
        check.setValue(QVariant());
        QVERIFY(date.value().isNull() && price.text().isEmpty() && price.value().isNull());
        QCOMPARE(check.value().toInt(), 0);
    }

    // A number beyond the column, pasted: the refusal names the field and the editor shows the value again. Large
    // numbers keep all their digits: as set, formatted "0.00", bound to numeric(18,4), in a grid cell.
    void numbersKeepTheirDigitsWithinTheirColumn() {
        TestBooks::fillGoods(*m_goods, 1);
        m_goods->setCaption("Default_price", "默认单价");
        NumberEdit price;
        price.setFormat("0.00");
        FieldBinder binder(m_goods.get());
        QStringList failures;
        connect(&binder, &FieldBinder::editFailed, this, [&failures](const QString& m) { failures << m; });
        binder.bind(&price, "Default_price");
        price.show();
        QVERIFY(QTest::qWaitForWindowExposed(&price));
        price.selectAll();
        QGuiApplication::clipboard()->setText("99999999999999999999");
        QTest::keyClick(&price, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures.first().contains("默认单价"), qPrintable(failures.first()));
        QCOMPARE(m_goods->value("Default_price").toDouble(), 1.5);
        QCOMPARE(price.value().toDouble(), 1.5);
        QVERIFY2(price.text().startsWith("1.5"), qPrintable(price.text()));
        GridModel model;
        model.setDataset(m_goods.get());
        model.setColumns({GridColumn::make("Default_price", "默认单价", 80)});
        for (const auto& [value, shown] :
             {std::pair{12345678901234.56,
                        "12345678901234.56 12345678901234.56 12345678901234.5600 12345678901234.5600"},
              std::pair{0.0001, "0.0001 0.00 0.0001 0.0001"},
              std::pair{123456789012.0, "123456789012 123456789012.00 123456789012.0000 123456789012.0000"}}) {
            NumberEdit edit;
            edit.setValue(value);
            const QString seen = edit.text();
            edit.setFormat("0.00");
            m_goods->setValue("Default_price", value);
            m_goods->post();
            NumberEdit bound;
            FieldBinder binding(m_goods.get());
            binding.bind(&bound, "Default_price");
            QCOMPARE(QStringList({seen, edit.text(), bound.text(), model.data(model.index(0, 0)).toString()}),
                     QString(shown).split(' '));
        }
        // In a grid cell, an amount wider than its column is set smaller
        // until every digit fits; one that fits keeps the grid's font.
        QStyleOptionViewItem cell;
        cell.font = QFont(QStringLiteral("Sans"), 10);
        cell.rect = QRect(0, 0, 80, 20);
        const QModelIndex amount = model.index(0, 0);
        const QString wide = model.data(amount).toString();  // 123456789012.0000
        const QFont smaller = GridCellDelegate::numberFont(cell, amount);
        QVERIFY2(smaller.pointSizeF() < 10, qPrintable(QString::number(smaller.pointSizeF())));
        QVERIFY(smaller.pointSizeF() >= GridCellDelegate::kSmallestNumberPoints);
        QVERIFY(QFontMetrics(smaller).horizontalAdvance(wide) <= 80 - 4);
        cell.rect = QRect(0, 0, 400, 20);
        QCOMPARE(GridCellDelegate::numberFont(cell, amount).pointSizeF(), 10.0);
    }

    // Texts are cut to a length in bytes of the old code page, a Chinese character two.
    void progressNoteCutsToAnsiBytes() {
        QCOMPARE(ansiByteLength("ab中文"), 6);
        const QString sixty = QString(30, QChar(0x4E2D));
        QCOMPARE(cutToAnsiBytes(sixty, 60), sixty);
        QCOMPARE(cutToAnsiBytes("a" + sixty, 60), "a" + QString(29, QChar(0x4E2D)) + "...");
        ProgressNote note;
        note.showText(QString(61, 'x'));
        QVERIFY(note.isVisible());
        QCOMPARE(note.message(), QString(60, 'x') + "...");
    }

    // A failure's box shows the text, the statement and the driver's text in details, in Chinese.
    void failureBoxSpeaksChineseAndKeepsTheDetailsApart() {
        QVERIFY(installChineseTranslations(*QCoreApplication::instance()));
        MessageBoxPrompter prompter;
        QStringList seen;
        QTimer::singleShot(0, [&seen] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << box->text() << box->detailedText();
                for (QAbstractButton* b : box->buttons()) {
                    seen << b->text();
                }
                box->button(QMessageBox::Ok)->click();
            } else if (QApplication::activeModalWidget()) {
                QApplication::activeModalWidget()->close();
            }
        });
        prompter.showFailure(DbError("保存失败：单位编码为“UN001”的记录已经存在，不能重复。",
                                     "UNIQUE constraint failed: unit.unit_code",
                                     "insert into unit (unit_code) values (?)"));
        QCOMPARE(seen.value(0), QString("保存失败：单位编码为“UN001”的记录已经存在，不能重复。"));
        QVERIFY2(seen.value(1).contains("insert into unit (unit_code) values (?)") &&
                     seen.value(1).contains("UNIQUE constraint failed"),
                 qPrintable(seen.value(1)));
        QVERIFY2(seen.contains("确定") && seen.contains("显示详细信息…"), qPrintable(seen.join('|')));
        NullableDateEdit date;
        QVERIFY(date.calendarWidget()->locale().monthName(3).contains("三"));
        QCOMPARE(QLocale().toDouble("1234.5"), 1234.5);
    }
};

int main(int argc, char** argv) {
    GuardedApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    ScriptedPrompter stopped;
    app.setPrompter(&stopped);
    TestKit test(stopped);
    const int failed = QTest::qExec(&test, argc, argv);
    app.setPrompter(nullptr);
    return failed;
}
#include "test_kit.moc"
