#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDrag>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "data/dataset.h"
#include "platform/ansi_text.h"
#include "platform/errors.h"
#include "support/goods_rows.h"
#include "support/test_books.h"
#include "ui/chinese_translations.h"
#include "ui/data_grid.h"
#include "ui/editors.h"
#include "ui/field_binder.h"
#include "ui/grid_model.h"
#include "ui/message_box_prompter.h"
#include "ui/progress_note.h"
#include "ui/tree_list.h"

// The widgets of the shared window kit, offscreen; their models are tested
// without widgets in test_models.
class TestKit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void footerIsComputedOncePerChange();
    void sortKeepsSelection();
    void selectionAndCurrentRowFollowEachOther();
    void enterEditsAndEscapeCancels();
    void gridDragCarriesKeys();
    void previewLinesFollowTheRows();
    void treeFollowsItsCurrentNode();
    void treeRefusesBadDrops();
    void treeFollowsItsDataset();
    void editorsHoldNullValues();
    void binderWritesAndShows();
    void numbersNeverShowInExponentForm_data();
    void numbersNeverShowInExponentForm();
    void numberBeyondItsColumnKeepsTheEditorsValue();
    void pictureBoxFallsBackToItsCaption();
    void progressNoteCutsAndRunsDots();
    void customFilterSwitch();
    void boxesSpeakChinese_data();
    void boxesSpeakChinese();
    void qtsOwnTextsAreChinese();
    void failureBoxKeepsTheDetailsApart();
    void memoPastesNothingFromAnEmptyClipboard();

private:
    // The goods rows and columns of the kit tests, in a grid.
    void showGoods(DataGrid& grid, int n);
    std::unique_ptr<TestBooks::FreshBook> m_book;
    std::unique_ptr<Dataset> m_goods;
};

void TestKit::init() {
    m_book = std::make_unique<TestBooks::FreshBook>("sqlite");
    m_goods = std::make_unique<Dataset>(m_book->db());
}

void TestKit::cleanup() {
    m_goods.reset();
    m_book.reset();
}

void TestKit::showGoods(DataGrid& grid, int n) {
    TestBooks::fillGoods(*m_goods, n);
    grid.setDataset(m_goods.get());
    grid.setColumns(TestBooks::goodsColumns(m_book->db()));
}

void TestKit::footerIsComputedOncePerChange() {
    DataGrid grid;
    showGoods(grid, 50);
    grid.setFooter({FooterSummary::sum("Default_TotalPrice", "合计:0.00")});
    grid.resize(600, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QApplication::processEvents();
    const int before = grid.model()->footerRecomputations();
    for (int i = 0; i < 5; ++i) {
        grid.repaint();
    }
    QCOMPARE(grid.model()->footerRecomputations(), before);
    m_goods->setCurrentRow(3);
    m_goods->setValue("Default_TotalPrice", 7);
    m_goods->post();
    QApplication::processEvents();
    grid.repaint();
    grid.repaint();
    QCOMPARE(grid.model()->footerRecomputations(), before + 1);
}

void TestKit::sortKeepsSelection() {
    DataGrid grid;
    showGoods(grid, 5);
    grid.setInitialSort("code", Qt::DescendingOrder);
    QCOMPARE(grid.model()->data(grid.model()->index(0, 0)).toString(), QString("SP00000005"));
    grid.selectRow(1);  // dataset row 1: SP00000002
    grid.model()->sort(3, Qt::AscendingOrder);
    QCOMPARE(grid.model()->data(grid.model()->index(0, 0)).toString(), QString("SP00000001"));
    QCOMPARE(grid.selectedRows(), QList<int>{1});
}

void TestKit::selectionAndCurrentRowFollowEachOther() {
    DataGrid grid;
    showGoods(grid, 5);
    grid.setMultiSelect(true);
    grid.view()->clearSelection();
    grid.view()->selectionModel()->select(grid.model()->index(1, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid.view()->selectionModel()->select(grid.model()->index(3, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(grid.selectedRows(), QList<int>({1, 3}));
    grid.view()->setCurrentIndex(grid.model()->index(4, 1));
    QCOMPARE(m_goods->currentRow(), 4);
    m_goods->setCurrentRow(2);
    QCOMPARE(grid.view()->currentIndex().row(), 2);
    QSignalSpy dbl(&grid, &DataGrid::rowDoubleClicked);
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QRect cell = grid.view()->visualRect(grid.model()->index(2, 0));
    QTest::mouseClick(grid.view()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid.view()->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(dbl.count(), 1);
    QCOMPARE(dbl.first().first().toInt(), 2);
}

void TestKit::enterEditsAndEscapeCancels() {
    TestBooks::fillGoods(*m_goods, 3);
    DataGrid grid;
    grid.setDataset(m_goods.get());
    QList<GridColumn> cols = TestBooks::goodsColumns(m_book->db());
    cols[1].editable = true;
    grid.setColumns(cols);
    grid.setReadOnly(false);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.view()->setFocus();
    grid.view()->setCurrentIndex(grid.model()->index(0, 1));
    QTest::keyClick(grid.view(), Qt::Key_Return);
    QVERIFY(grid.view()->isEditing());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(m_goods->value(0, "Goods_name").toString(), QString("合页1"));
    // On a read-only cell Enter activates the row.
    QSignalSpy activated(&grid, &DataGrid::rowDoubleClicked);
    grid.view()->setCurrentIndex(grid.model()->index(2, 0));
    QTest::keyClick(grid.view(), Qt::Key_Enter);
    QCOMPARE(activated.count(), 1);
    QTest::keyClick(grid.view(), Qt::Key_Up);
    QCOMPARE(m_goods->currentRow(), 1);
}

// Dragging rows from a sorted grid carries the key field of every selected
// row, read from the dataset rows behind them.
void TestKit::gridDragCarriesKeys() {
    DataGrid grid;
    showGoods(grid, 4);
    grid.setMultiSelect(true);
    grid.setInitialSort("code", Qt::DescendingOrder);  // grid row 0 is dataset row 3
    grid.setDragKeyField("id");
    grid.resize(600, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QTableView* view = grid.view();
    view->clearSelection();
    for (int row : {0, 2}) {
        view->selectionModel()->select(grid.model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    const QPoint from = view->visualRect(grid.model()->index(0, 1)).center();
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
    for (int step = 1; step <= 3; ++step) {
        QTest::mouseMove(view->viewport(), from + QPoint(0, step * QApplication::startDragDistance()));
    }
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, from);
    // The drag has ended (offscreen nothing takes it) and waits to be deleted.
    const QDrag* drag = view->findChild<QDrag*>();
    QVERIFY(drag);
    QVERIFY(drag->mimeData()->hasFormat(DataGrid::kRowsMimeType));
    QStringList keys = QString::fromUtf8(drag->mimeData()->data(DataGrid::kRowsMimeType)).split('\n');
    keys.sort();
    QStringList expected{m_goods->value(3, "id").toString(), m_goods->value(1, "id").toString()};
    expected.sort();
    QCOMPARE(keys, expected);
}

// The tree widget over its model: current node and expanding.
void TestKit::treeFollowsItsCurrentNode() {
    TreeList tree;
    tree.setNodes({{1, -1, "全部客户", 0}, {2, 1, "北京", 0}, {3, 1, "上海", 0}, {4, 2, "朝阳", 0}});
    const QModelIndex root = tree.treeModel()->indexOfId(1);
    QSignalSpy current(&tree, &TreeList::currentNodeChanged);
    QVERIFY(tree.setCurrentId(4));
    QCOMPARE(current.count(), 1);
    QCOMPARE(tree.currentId().toInt(), 4);
    QVERIFY(!tree.setCurrentId(42));
    QCOMPARE(tree.currentId().toInt(), 4);
    tree.expandAll();
    QVERIFY(tree.isExpanded(root));
    tree.collapseAll();
    QVERIFY(!tree.isExpanded(root));
}

void TestKit::treeRefusesBadDrops() {
    TreeList tree;
    tree.setNodes({{1, -1, "全部", 0}, {2, 1, "甲", 0}, {3, 2, "乙", 0}, {4, 1, "丙", 0}});
    QSignalSpy nodes(&tree, &TreeList::nodesDropped);
    QSignalSpy rows(&tree, &TreeList::rowsDropped);
    // Never onto itself or into its own subtree.
    QVERIFY(!tree.performDrop({false, {"2"}, 3}));
    QVERIFY(!tree.performDrop({false, {"2"}, 2}));
    QVERIFY(tree.performDrop({false, {"3"}, 4}));
    QCOMPARE(nodes.count(), 1);
    // The window's hook refuses, e.g. groups that hold child groups.
    tree.setDropFilter([&tree](const TreeList::Drop& d) { return !tree.treeModel()->hasChildren(d.targetId); });
    QVERIFY(!tree.performDrop({true, {"17", "18"}, 1}));
    QVERIFY(tree.performDrop({true, {"17", "18"}, 4}));
    QCOMPARE(rows.count(), 1);
    QCOMPARE(rows.first().first().toStringList(), QStringList({"17", "18"}));
    QVERIFY(!tree.performDrop({true, {"17"}, 42}));  // no such node
}

void TestKit::treeFollowsItsDataset() {
    Dataset groups(m_book->db());
    groups.openTable("Client_group", "id");
    TreeList tree;
    tree.bind(&groups, "id", "Parent_id", "Class_name", "ico_no");
    QCOMPARE(tree.treeModel()->nodeCount(), 1);
    groups.append();
    groups.setValue("Class_name", "北京");
    groups.setValue("Parent_id", 1);
    groups.post();
    QCOMPARE(tree.treeModel()->nodeCount(), 2);
    groups.first();
    QVERIFY(tree.setCurrentId(1));
    QCOMPARE(groups.value("Class_name").toString(), QString("全部客户"));
}

void TestKit::editorsHoldNullValues() {
    NullableDateEdit date;
    QVERIFY(date.value().isNull());
    date.setValue(QDate(2006, 12, 25));
    QCOMPARE(date.value().toDate(), QDate(2006, 12, 25));
    date.setValue(QDateTime(QDate(2007, 1, 2), QTime(10, 0)));
    QCOMPARE(date.value().toDate(), QDate(2007, 1, 2));
    date.setValue(QVariant());
    QVERIFY(date.value().isNull());
    // A date typed into the empty box, dashes and all or without them; the
    // box says when it holds a date.
    date.show();
    date.setFocus();
    for (const QString& typed : {QString("2025-03-04"), QString("1999-12-31"), QString("20070102")}) {
        date.setValue(QVariant());
        QSignalSpy edited(&date, &NullableDateEdit::valueEdited);
        QTest::keyClicks(&date, typed);
        QCOMPARE(date.value().toDate(), QDate::fromString(QString(typed).remove('-'), "yyyyMMdd"));
        QVERIFY(!edited.isEmpty());
    }
    // Over a date the box holds, from its first section.
    date.setValue(QDate(2006, 3, 5));
    date.setSelectedSection(QDateTimeEdit::YearSection);
    QTest::keyClicks(&date, "2024-11-09");
    QCOMPARE(date.value().toDate(), QDate(2024, 11, 9));
    // Over the whole text selected (Ctrl+A), the year too is what is typed.
    date.setValue(QDate(2006, 6, 30));
    date.selectAll();
    QTest::keyClicks(&date, "2007-01-15");
    QCOMPARE(date.value().toDate(), QDate(2007, 1, 15));
    date.setValue(QDate(2006, 6, 30));
    QTest::keyClick(&date, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(&date, "1990-01-01");
    QCOMPARE(date.value().toDate(), QDate(1990, 1, 1));
    QVERIFY(date.rejection().isEmpty());
    // A day or month that does not exist is said, never made another date
    // without a word; a saving window is refused until it is corrected.
    Dataset heads(m_book->db());
    heads.open("select * from Quotation_Head where 1=2");
    heads.append();
    heads.setCaption("Send_Date", "交货日期");
    FieldBinder binder(&heads);
    binder.bind(&date, "Send_Date");
    for (const auto& [typed, said] : {std::pair{"2026-02-30", "2026-02-30"}, std::pair{"2026-13-45", "没有13月"},
                                      std::pair{"2026-02-29", "2026-02-29"}, std::pair{"2026-04-31", "2026-04-31"}}) {
        date.setFocus();
        date.selectAll();
        QTest::keyClicks(&date, typed);
        QVERIFY2(date.rejection().contains(QString::fromUtf8(said)), qPrintable(date.rejection()));
        try {
            binder.requireNumbersAsTyped();
            QFAIL("an impossible date was let through");
        } catch (const UserError& e) {
            QVERIFY2(e.message().contains("交货日期") && e.message().contains(QString::fromUtf8(said)),
                     qPrintable(e.message()));
        }
    }
    // A month typed over the 31st moves the day: said too.
    date.setValue(QDate(2026, 1, 31));
    date.setFocus();
    date.setSelectedSection(QDateTimeEdit::MonthSection);
    QTest::keyClicks(&date, "02");
    QVERIFY2(date.rejection().contains("2026-02-31"), qPrintable(date.rejection()));
    date.selectAll();
    QTest::keyClicks(&date, "2026-02-28");
    QVERIFY(date.rejection().isEmpty());
    binder.requireNumbersAsTyped();
    QCOMPARE(heads.value("Send_Date").toDateTime().date(), QDate(2026, 2, 28));
    // A partial date: whatever the box shows is its value, and it said so.
    date.setValue(QVariant());
    QSignalSpy partial(&date, &NullableDateEdit::valueEdited);
    QTest::keyClicks(&date, "2");
    QVERIFY(!partial.isEmpty());
    QCOMPARE(date.value().isNull(), date.text().trimmed().isEmpty());
    // Its calendar opens on the current month while the box is empty.
    date.setValue(QVariant());
    const QPoint arrow(date.width() - 6, date.height() / 2);
    QTest::mouseClick(&date, Qt::LeftButton, {}, arrow);
    QVERIFY(date.calendarWidget()->isVisible());
    QCOMPARE(date.calendarWidget()->monthShown(), QDate::currentDate().month());
    QCOMPARE(date.calendarWidget()->yearShown(), QDate::currentDate().year());
    date.calendarWidget()->window()->hide();
    date.setValue(QDate(2006, 3, 5));
    QTest::mouseClick(&date, Qt::LeftButton, {}, arrow);
    QCOMPARE(date.calendarWidget()->yearShown(), 2006);
    date.calendarWidget()->window()->hide();

    NumberEdit number;
    number.setFormat("0.00");
    number.setValue(12.5);
    QCOMPARE(number.text(), QString("12.50"));
    number.setValue(QVariant());
    QCOMPARE(number.text(), QString());
    QVERIFY(number.value().isNull());

    CheckEdit check;
    check.setValue(QVariant());
    QCOMPARE(check.value().toInt(), 0);
    check.setValue(1);
    QCOMPARE(check.value().toInt(), 1);

    LookupCombo combo;
    combo.setLookup(TestBooks::unitLookup(m_book->db()));
    combo.setValue("UN003");
    QCOMPARE(combo.currentText(), QString("套"));
    QCOMPARE(combo.value().toString(), QString("UN003"));
    combo.setValue("UN404");
    QVERIFY(combo.value().isNull());
}

void TestKit::binderWritesAndShows() {
    TestBooks::fillGoods(*m_goods, 2);
    QLineEdit name;
    NumberEdit price;
    MemoEdit remark;
    LookupCombo unit;
    unit.setLookup(TestBooks::unitLookup(m_book->db()));
    FieldBinder binder(m_goods.get());
    binder.bind(&name, "Goods_name");
    binder.bind(&price, "Default_price");
    binder.bind(&remark, "remark");
    binder.bind(&unit, "Goods_unit");
    QCOMPARE(name.text(), QString("合页1"));
    QCOMPARE(name.maxLength(), 100);
    QLineEdit time;
    binder.bind(&time, "Keyin_time");
    QCOMPARE(time.text(), QString("2006-12-02 10:00:00"));
    QCOMPARE(unit.currentText(), QString("个"));
    QTest::keyClicks(&name, "X");
    QCOMPARE(m_goods->state(), Dataset::State::Edit);
    QCOMPARE(m_goods->value("Goods_name").toString(), QString("合页1X"));
    m_goods->post();
    m_goods->setCurrentRow(1);
    QCOMPARE(name.text(), QString("Lock_2"));
    QCOMPARE(price.value().toDouble(), 3.0);
    // A change made in code shows in the editors.
    m_goods->setValue("remark", "新备注");
    QCOMPARE(remark.toPlainText(), QString("新备注"));
    unit.setCurrentIndex(unit.findText("套"));
    emit unit.valueEdited();
    QCOMPARE(m_goods->value("Goods_unit").toString(), QString("UN003"));
}

// Large numbers show with all their digits, in the editors (typing,
// formatted, bound to a numeric(18,4) field) and in grid cells.
void TestKit::numbersNeverShowInExponentForm_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("typing");
    QTest::addColumn<QString>("formatted");
    QTest::addColumn<QString>("inField");
    QTest::newRow("fourteen digits") << 12345678901234.56 << "12345678901234.56"
                                     << "12345678901234.56"
                                     << "12345678901234.5600";
    QTest::newRow("negative") << -12345678901234.56 << "-12345678901234.56"
                              << "-12345678901234.56"
                              << "-12345678901234.5600";
    QTest::newRow("small") << 0.0001 << "0.0001"
                           << "0.00"
                           << "0.0001";
    QTest::newRow("whole") << 123456789012.0 << "123456789012"
                           << "123456789012.00"
                           << "123456789012.0000";
}

void TestKit::numbersNeverShowInExponentForm() {
    QFETCH(double, value);
    QFETCH(QString, typing);
    QFETCH(QString, formatted);
    QFETCH(QString, inField);
    QWidget window;
    QLineEdit other(&window);
    NumberEdit edit(&window);
    edit.move(0, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other.setFocus();
    edit.setValue(value);
    QCOMPARE(edit.text(), typing);
    edit.setFormat("0.00");
    QCOMPARE(edit.text(), formatted);
    edit.setFocus();
    QTRY_VERIFY(edit.hasFocus());
    QCOMPARE(edit.text(), typing);

    TestBooks::fillGoods(*m_goods, 1);
    m_goods->setValue("Default_price", value);
    m_goods->post();
    NumberEdit bound(&window);
    FieldBinder binder(m_goods.get());
    binder.bind(&bound, "Default_price");
    QCOMPARE(bound.text(), inField);
    QCOMPARE(m_goods->displayText(0, m_goods->fieldIndex("Default_price")), inField);
    GridModel model;
    model.setDataset(m_goods.get());
    model.setColumns({GridColumn::make("Default_price", "默认单价", 80),
                      GridColumn::make("Default_price", "默认单价", 80).withFormat("#,##0.00")});
    QCOMPARE(model.data(model.index(0, 0)).toString(), inField);
    QVERIFY(!model.data(model.index(0, 1)).toString().contains('e', Qt::CaseInsensitive));
}

// A number beyond the column's digits, pasted into a bound editor: the
// refusal names the field and the editor shows the row's value again.
void TestKit::numberBeyondItsColumnKeepsTheEditorsValue() {
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
    QCOMPARE(price.value().toDouble(), 1.5);
    price.selectAll();
    QGuiApplication::clipboard()->setText("99999999999999999999");
    QTest::keyClick(&price, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().contains("默认单价"), qPrintable(failures.first()));
    QCOMPARE(m_goods->value("Default_price").toDouble(), 1.5);
    QCOMPARE(price.value().toDouble(), 1.5);
    QVERIFY2(!price.text().contains('e', Qt::CaseInsensitive), qPrintable(price.text()));
    QVERIFY2(price.text().startsWith("1.5"), qPrintable(price.text()));
}

void TestKit::pictureBoxFallsBackToItsCaption() {
    QTemporaryDir dir;
    PictureBox box;
    box.setCaption("无图片");
    QVERIFY(!box.setFile(dir.filePath("missing.jpg")));
    QCOMPARE(box.text(), QString("无图片"));
    QFile bad(dir.filePath("bad.jpg"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a picture");
    bad.close();
    QVERIFY(!box.setFile(dir.filePath("bad.jpg")));
    QCOMPARE(box.text(), QString("无图片"));
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(Qt::red);
    QVERIFY(img.save(dir.filePath("ok.jpg")));
    QVERIFY(box.setFile(dir.filePath("ok.jpg")));
    QVERIFY(box.hasPicture());
    QSignalSpy clicked(&box, &PictureBox::clicked);
    QTest::mouseClick(&box, Qt::LeftButton);
    QCOMPARE(clicked.count(), 1);
}

void TestKit::progressNoteCutsAndRunsDots() {
    QCOMPARE(ansiByteLength("ab中文"), 6);
    const QString sixty = QString(30, QChar(0x4E2D));  // 60 bytes
    QCOMPARE(cutToAnsiBytes(sixty, 60), sixty);
    QCOMPARE(cutToAnsiBytes(sixty + "a", 60), sixty + "...");
    QCOMPARE(cutToAnsiBytes("a" + sixty, 60), "a" + QString(29, QChar(0x4E2D)) + "...");
    ProgressNote note;
    note.showText("正在读取权限列表，请稍候");
    QCOMPARE(note.labelText(), QString("正在读取权限列表，请稍候....."));
    QVERIFY(note.isVisible());
    note.tick();
    QCOMPARE(note.labelText(), QString("正在读取权限列表，请稍候."));
    note.tick();
    note.tick();
    QCOMPARE(note.labelText(), QString("正在读取权限列表，请稍候..."));
    note.showText(QString(61, 'x'));
    QCOMPARE(note.message(), QString(60, 'x') + "...");
    note.hideNote();
    QVERIFY(!note.isVisible());
}

// Rows with a preview text are taller by one line, through sorting, edits
// and filters; without a preview field every row is plain again.
void TestKit::previewLinesFollowTheRows() {
    DataGrid grid;
    showGoods(grid, 6);
    for (int r : {1, 4}) {
        m_goods->setCurrentRow(r);
        m_goods->setValue("remark", QVariant());
        m_goods->post();
    }
    grid.resize(700, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const GridModel* model = grid.model();
    GridView* view = grid.view();
    const int plain = view->rowHeight(0);
    auto tallRows = [&] {
        QStringList codes;
        for (int g = 0; g < model->rowCount(); ++g) {
            if (view->rowHeight(g) == plain + view->previewLineHeight()) {
                codes << model->index(g, 0).data().toString().right(1);
            } else if (view->rowHeight(g) != plain) {
                codes << "?";
            }
        }
        return codes.join(',');
    };
    QCOMPARE(tallRows(), QString());
    QVERIFY(model->index(0, 0).data(GridModel::PreviewRole).toString().isEmpty());

    grid.setPreviewField("remark");
    QCOMPARE(tallRows(), QString("1,3,4,6"));
    QCOMPARE(model->index(2, 1).data(GridModel::PreviewRole).toString(), QString("备注3"));
    QVERIFY(model->index(1, 1).data(GridModel::PreviewRole).toString().isEmpty());

    view->sortByColumn(0, Qt::DescendingOrder);
    QCOMPARE(tallRows(), QString("6,4,3,1"));
    m_goods->setCurrentRow(1);
    m_goods->setValue("remark", "新备注");
    m_goods->post();
    m_goods->setCurrentRow(3);
    m_goods->setValue("remark", "  ");
    m_goods->post();
    QCOMPARE(tallRows(), QString("6,3,2,1"));
    grid.setTextFilter("合页", {"Goods_name"});
    QCOMPARE(tallRows(), QString("3,1"));
    grid.clearFilters();
    QCOMPARE(tallRows(), QString("6,3,2,1"));

    grid.setPreviewField(QString());
    QCOMPARE(tallRows(), QString());
    QVERIFY(model->index(0, 0).data(GridModel::PreviewRole).toString().isEmpty());
}

// The setting is read whatever its letter case, and anything but "true"
// is off (written and read back by the settings editor: test_shell_logic).
void TestKit::customFilterSwitch() {
    for (const auto& [value, expected] : QList<QPair<QString, bool>>{{"TRUE", true}, {"yes", false}}) {
        TestBooks::TestProgram p(false);
        p.context().SettingsFile.setString("SYS_Setting", "ShowCustomFilter", value);
        QCOMPARE(p.context().showCustomFilter(), expected);
    }
}

// Every box of the program shows its buttons in Chinese: the texts are
// read from the open box, and the click on the last one gives the answer.
void TestKit::boxesSpeakChinese_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<bool>("answerOfTheLast");
    QTest::newRow("inform") << "inform" << QStringList{"确定"} << true;
    QTest::newRow("error") << "error" << QStringList{"确定"} << true;
    QTest::newRow("confirm") << "confirm" << QStringList{"确定", "取消"} << false;
    QTest::newRow("yes or no") << "yesno" << QStringList{"是", "否"} << false;
    QTest::newRow("text") << "text" << QStringList{"确定", "取消"} << false;
}

void TestKit::boxesSpeakChinese() {
    QFETCH(QString, kind);
    QFETCH(QStringList, buttons);
    QFETCH(bool, answerOfTheLast);
    MessageBoxPrompter prompter;
    QStringList seen;
    // Whatever the box shows, it is closed: a failing check must not leave
    // the test waiting on it.
    QTimer::singleShot(0, [&seen] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) {
            return;
        }
        QList<QPushButton*> shown;
        for (QPushButton* b : box->findChildren<QPushButton*>()) {
            if (b->isVisible()) {
                shown.append(b);
            }
        }
        // In the order the box lays them out.
        std::sort(shown.begin(), shown.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
        for (QPushButton* b : shown) {
            seen << b->text();
        }
        if (shown.isEmpty()) {
            box->close();
        } else {
            shown.last()->click();
        }
    });
    bool answer = true;
    QString text = "旧";
    if (kind == "inform") {
        prompter.inform("已保存");
    } else if (kind == "error") {
        prompter.error("出错了");
    } else if (kind == "confirm") {
        answer = prompter.confirm("继续吗？");
    } else if (kind == "yesno") {
        answer = prompter.askYesNo("删除吗？");
    } else {
        answer = prompter.askText("名称", "请输入名称", &text);
        QCOMPARE(text, QString("旧"));
    }
    QCOMPARE(seen, buttons);
    QCOMPARE(answer, answerOfTheLast);
}

void TestKit::qtsOwnTextsAreChinese() {
    QVERIFY(installChineseTranslations(*QCoreApplication::instance()));
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString("取消"));
    QVERIFY(!box.button(QDialogButtonBox::Open)->text().contains("Open"));
    // Calendars name months and days in Chinese; numbers read as before.
    NullableDateEdit date;
    QCOMPARE(date.calendarWidget()->locale().language(), QLocale::Chinese);
    QVERIFY(date.calendarWidget()->locale().monthName(3).contains("三"));
    QCOMPARE(QLocale().toDouble("1234.5"), 1234.5);
}

// A failure's box shows the user's text; the statement and the driver's
// text are behind a details button that speaks Chinese.
void TestKit::failureBoxKeepsTheDetailsApart() {
    installChineseTranslations(*QCoreApplication::instance());
    MessageBoxPrompter prompter;
    QString text;
    QString details;
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        text = box->text();
        details = box->detailedText();
        for (QAbstractButton* b : box->buttons()) {
            buttons << b->text();
        }
        box->button(QMessageBox::Ok)->click();
    });
    prompter.showFailure(DbError("保存失败：单位编码为“UN001”的记录已经存在，不能重复。",
                                 "UNIQUE constraint failed: unit.unit_code",
                                 "insert into unit (unit_code) values (?)"));
    QCOMPARE(text, QString("保存失败：单位编码为“UN001”的记录已经存在，不能重复。"));
    QVERIFY2(details.contains("insert into unit (unit_code) values (?)"), qPrintable(details));
    QVERIFY2(details.contains("UNIQUE constraint failed"), qPrintable(details));
    QVERIFY2(buttons.contains("确定") && buttons.contains("显示详细信息…"), qPrintable(buttons.join('|')));
}

void TestKit::memoPastesNothingFromAnEmptyClipboard() {
    MemoEdit memo;
    memo.show();
    memo.setValue("备注");
    memo.setFocus();
    memo.moveCursor(QTextCursor::End);
    // Data without any format, as an empty X11 clipboard gives it.
    QGuiApplication::clipboard()->setMimeData(new QMimeData);
    QTest::keyClick(&memo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(memo.toPlainText(), QString("备注"));
    QGuiApplication::clipboard()->setText("一行");
    QTest::keyClick(&memo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(memo.toPlainText(), QString("备注一行"));
}

QTEST_MAIN(TestKit)
#include "test_kit.moc"
