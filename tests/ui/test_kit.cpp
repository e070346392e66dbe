#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QCoreApplication>
#include <QDrag>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <utility>

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

namespace {
// Runs `look` on the next modal box once the event loop has opened it.
void onModalBox(const std::function<void(QWidget*)>& look) {
    QTimer::singleShot(0, [look] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            look(box);
        }
    });
}

void selectRows(DataGrid& grid, const QList<int>& rows) {
    grid.view()->clearSelection();
    for (int row : rows) {
        grid.view()->selectionModel()->select(grid.model()->index(row, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}
}  // namespace

// The widgets of the shared window kit, offscreen; their models are tested
// without widgets in test_models.
class TestKit : public QObject {
    Q_OBJECT
    std::unique_ptr<TestBooks::FreshBook> m_book;
    std::unique_ptr<Dataset> m_goods;

    // The goods rows and columns of the kit tests, in a grid, shown when asked.
    bool showGoods(DataGrid& grid, int n, bool show = false) {
        TestBooks::fillGoods(*m_goods, n);
        grid.setDataset(m_goods.get());
        grid.setColumns(TestBooks::goodsColumns(m_book->db()));
        if (!show) {
            return true;
        }
        grid.resize(700, 400);
        grid.show();
        return QTest::qWaitForWindowExposed(&grid);
    }

private slots:
    void init() {
        m_book = std::make_unique<TestBooks::FreshBook>("sqlite");
        m_goods = std::make_unique<Dataset>(m_book->db());
    }

    void cleanup() {
        m_goods.reset();
        m_book.reset();
    }

    void footerIsComputedOncePerChange() {
        DataGrid grid;
        grid.setFooter({FooterSummary::sum("Default_TotalPrice", "合计:0.00")});
        QVERIFY(showGoods(grid, 50, true));
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

    // Dragging rows from a sorted grid carries the key field of every
    // selected row, read from the dataset rows behind them; sorting keeps
    // the selected dataset rows; the grid's current row and the dataset's
    // follow each other; a double click names the dataset row.
    void selectionDragSortAndCurrentRow() {
        DataGrid grid;
        grid.setMultiSelect(true);
        QVERIFY(showGoods(grid, 5, true));
        grid.setInitialSort("code", Qt::DescendingOrder);
        QCOMPARE(grid.model()->index(0, 0).data().toString(), QString("SP00000005"));
        grid.setDragKeyField("id");
        GridView* view = grid.view();
        selectRows(grid, {1, 3});  // dataset rows 3 and 1
        const QPoint from = view->visualRect(grid.model()->index(1, 1)).center();
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
        selectRows(grid, {1, 3});
        grid.model()->sort(3, Qt::AscendingOrder);
        QCOMPARE(grid.model()->index(0, 0).data().toString(), QString("SP00000001"));
        QCOMPARE(grid.selectedRows(), QList<int>({1, 3}));
        view->setCurrentIndex(grid.model()->index(4, 1));
        QCOMPARE(m_goods->currentRow(), 4);
        m_goods->setCurrentRow(2);
        QCOMPARE(view->currentIndex().row(), 2);
        QSignalSpy dbl(&grid, &DataGrid::rowDoubleClicked);
        const QRect cell = view->visualRect(grid.model()->index(2, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(dbl.count(), 1);
        QCOMPARE(dbl.first().first().toInt(), 2);
    }

    void enterEditsAndEscapeCancels() {
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
    }

    // Rows with a preview text are taller by one line, through sorting and
    // edits; without a preview field every row is plain again.
    void previewLinesFollowTheRows() {
        DataGrid grid;
        QVERIFY(showGoods(grid, 6, true));
        for (int r : {1, 4}) {
            m_goods->setCurrentRow(r);
            m_goods->setValue("remark", r == 1 ? QVariant() : QVariant("  "));
            m_goods->post();
        }
        const GridModel* model = grid.model();
        GridView* view = grid.view();
        const int plain = view->rowHeight(0);
        auto tallRows = [&] {
            QStringList codes;
            for (int g = 0; g < model->rowCount(); ++g) {
                const int extra = view->rowHeight(g) - plain;
                codes << (extra == 0                           ? ""
                          : extra == view->previewLineHeight() ? model->index(g, 0).data().toString().right(1)
                                                               : "?");
            }
            codes.removeAll("");
            return codes.join(',');
        };
        QCOMPARE(tallRows(), QString());
        grid.setPreviewField("remark");
        QCOMPARE(tallRows(), QString("1,3,4,6"));
        QCOMPARE(model->index(2, 1).data(GridModel::PreviewRole).toString(), QString("备注3"));
        view->sortByColumn(0, Qt::DescendingOrder);
        QCOMPARE(tallRows(), QString("6,4,3,1"));
        m_goods->setCurrentRow(1);
        m_goods->setValue("remark", "新备注");
        m_goods->post();
        QCOMPARE(tallRows(), QString("6,4,3,2,1"));
        grid.setPreviewField(QString());
        QCOMPARE(tallRows(), QString());
        QVERIFY(model->index(0, 0).data(GridModel::PreviewRole).toString().isEmpty());
    }

    // The tree widget: its current node, drops it refuses (onto itself, into
    // its own subtree, where the window's hook says no, onto no node) and the
    // nodes of its bound dataset.
    void treeListDropsAndDataset() {
        TreeList tree;
        tree.setNodes({{1, -1, "全部", 0}, {2, 1, "甲", 0}, {3, 2, "乙", 0}, {4, 1, "丙", 0}});
        QSignalSpy current(&tree, &TreeList::currentNodeChanged);
        QVERIFY(tree.setCurrentId(3));
        QVERIFY(!tree.setCurrentId(42));
        QCOMPARE(current.count(), 1);
        QCOMPARE(tree.currentId().toInt(), 3);
        tree.expandAll();
        QVERIFY(tree.isExpanded(tree.treeModel()->indexOfId(2)));
        QSignalSpy nodes(&tree, &TreeList::nodesDropped);
        QSignalSpy rows(&tree, &TreeList::rowsDropped);
        QVERIFY(!tree.performDrop({false, {"2"}, 3}));
        QVERIFY(!tree.performDrop({false, {"2"}, 2}));
        QVERIFY(tree.performDrop({false, {"3"}, 4}));
        QCOMPARE(nodes.count(), 1);
        tree.setDropFilter([&tree](const TreeList::Drop& d) { return !tree.treeModel()->hasChildren(d.targetId); });
        QVERIFY(!tree.performDrop({true, {"17", "18"}, 1}));
        QVERIFY(!tree.performDrop({true, {"17"}, 42}));
        QVERIFY(tree.performDrop({true, {"17", "18"}, 4}));
        QCOMPARE(rows.count(), 1);
        QCOMPARE(rows.first().first().toStringList(), QStringList({"17", "18"}));

        Dataset groups(m_book->db());
        groups.openTable("Client_group", "id");
        tree.bind(&groups, "id", "Parent_id", "Class_name", "ico_no");
        QCOMPARE(tree.treeModel()->nodeCount(), 1);
        groups.append();
        groups.setValue("Class_name", "北京");
        groups.setValue("Parent_id", 1);
        groups.post();
        QCOMPARE(tree.treeModel()->nodeCount(), 2);
        QVERIFY(tree.setCurrentId(1));
        QCOMPARE(groups.value("Class_name").toString(), QString("全部客户"));
    }

    // A date typed into the empty box; a day or month that does not exist is
    // said, never made another date without a word, and a saving window is
    // refused until it is corrected.
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
        date.setSelectedSection(QDateTimeEdit::MonthSection);
        QTest::keyClicks(&date, "02");
        QVERIFY2(date.rejection().contains("2026-02-31"), qPrintable(date.rejection()));
        date.selectAll();
        QTest::keyClicks(&date, "2026-02-28");
        QVERIFY(date.rejection().isEmpty());
        binder.requireNumbersAsTyped();
        QCOMPARE(heads.value("Send_Date").toDateTime().date(), QDate(2026, 2, 28));
    }

    void editorsHoldNullValues() {
        NullableDateEdit date;
        date.setValue(QDateTime(QDate(2007, 1, 2), QTime(10, 0)));
        QCOMPARE(date.value().toDate(), QDate(2007, 1, 2));
        date.setValue(QVariant());
        QVERIFY(date.value().isNull());
        NumberEdit number;
        number.setFormat("0.00");
        number.setValue(12.5);
        QCOMPARE(number.text(), QString("12.50"));
        number.setValue(QVariant());
        QVERIFY(number.text().isEmpty() && number.value().isNull());
        CheckEdit check;
        check.setValue(QVariant());
        QCOMPARE(check.value().toInt(), 0);
        LookupCombo combo;
        combo.setLookup(TestBooks::unitLookup(m_book->db()));
        combo.setValue("UN003");
        QCOMPARE(combo.currentText(), QString("套"));
        combo.setValue("UN404");
        QVERIFY(combo.value().isNull());
    }

    void binderWritesAndShows() {
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
        QCOMPARE(name.text(), QString("合页1"));
        QCOMPARE(name.maxLength(), 100);
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
    void numbersNeverShowInExponentForm() {
        const std::pair<double, QStringList> numbers[] = {
            // typing, formatted "0.00", in the field
            {12345678901234.56, {"12345678901234.56", "12345678901234.56", "12345678901234.5600"}},
            {0.0001, {"0.0001", "0.00", "0.0001"}},
            {123456789012.0, {"123456789012", "123456789012.00", "123456789012.0000"}}};
        QWidget window;
        QLineEdit other(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        TestBooks::fillGoods(*m_goods, 1);
        GridModel model;
        model.setDataset(m_goods.get());
        model.setColumns({GridColumn::make("Default_price", "默认单价", 80),
                          GridColumn::make("Default_price", "默认单价", 80).withFormat("#,##0.00")});
        for (const auto& [value, texts] : numbers) {
            NumberEdit edit(&window);
            edit.move(0, 40);
            edit.show();
            other.setFocus();
            edit.setValue(value);
            QCOMPARE(edit.text(), texts[0]);
            edit.setFormat("0.00");
            QCOMPARE(edit.text(), texts[1]);
            edit.setFocus();
            QTRY_VERIFY(edit.hasFocus());
            QCOMPARE(edit.text(), texts[0]);

            m_goods->setValue("Default_price", value);
            m_goods->post();
            NumberEdit bound(&window);
            FieldBinder binder(m_goods.get());
            binder.bind(&bound, "Default_price");
            QCOMPARE(bound.text(), texts[2]);
            QCOMPARE(m_goods->displayText(0, m_goods->fieldIndex("Default_price")), texts[2]);
            QCOMPARE(model.data(model.index(0, 0)).toString(), texts[2]);
            QVERIFY(!model.data(model.index(0, 1)).toString().contains('e', Qt::CaseInsensitive));
        }
    }

    // A number beyond the column's digits, pasted into a bound editor: the
    // refusal names the field and the editor shows the row's value again.
    void numberBeyondItsColumnKeepsTheEditorsValue() {
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
    }

    void pictureBoxFallsBackToItsCaption() {
        QTemporaryDir dir;
        PictureBox box;
        box.setCaption("无图片");
        QFile bad(dir.filePath("bad.jpg"));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a picture") > 0);
        bad.close();
        for (const char* name : {"missing.jpg", "bad.jpg"}) {
            QVERIFY(!box.setFile(dir.filePath(name)));
            QCOMPARE(box.text(), QString("无图片"));
        }
        QImage img(40, 30, QImage::Format_RGB32);
        img.fill(Qt::red);
        QVERIFY(img.save(dir.filePath("ok.jpg")));
        QVERIFY(box.setFile(dir.filePath("ok.jpg")));
        QVERIFY(box.hasPicture());
    }

    void progressNoteCutsAndRunsDots() {
        QCOMPARE(ansiByteLength("ab中文"), 6);
        const QString sixty = QString(30, QChar(0x4E2D));  // 60 bytes
        QCOMPARE(cutToAnsiBytes(sixty, 60), sixty);
        QCOMPARE(cutToAnsiBytes("a" + sixty, 60), "a" + QString(29, QChar(0x4E2D)) + "...");
        ProgressNote note;
        note.showText("正在读取权限列表，请稍候");
        QCOMPARE(note.labelText(), QString("正在读取权限列表，请稍候....."));
        QVERIFY(note.isVisible());
        note.tick();
        QCOMPARE(note.labelText(), QString("正在读取权限列表，请稍候."));
        note.showText(QString(61, 'x'));
        QCOMPARE(note.message(), QString(60, 'x') + "...");
        note.hideNote();
        QVERIFY(!note.isVisible());
    }

    // The setting is read whatever its letter case, and anything but "true"
    // is off (written and read back by the settings editor: test_shell_logic).
    void customFilterSwitch() {
        for (const auto& [value, expected] : QList<QPair<QString, bool>>{{"TRUE", true}, {"yes", false}}) {
            TestBooks::TestProgram p(false);
            p.context().SettingsFile.setString("SYS_Setting", "ShowCustomFilter", value);
            QCOMPARE(p.context().showCustomFilter(), expected);
        }
    }

    // A failure's box shows the user's text; the statement and the driver's
    // text are behind a details button. Its buttons and the calendar speak
    // Chinese; numbers read as before.
    void failureBoxSpeaksChineseAndKeepsTheDetailsApart() {
        QVERIFY(installChineseTranslations(*QCoreApplication::instance()));
        MessageBoxPrompter prompter;
        QString text;
        QString details;
        QStringList buttons;
        onModalBox([&](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (!box) {
                return widget->close(), void();
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
        NullableDateEdit date;
        QVERIFY(date.calendarWidget()->locale().monthName(3).contains("三"));
        QCOMPARE(QLocale().toDouble("1234.5"), 1234.5);
    }

    void memoPastesNothingFromAnEmptyClipboard() {
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
};

QTEST_MAIN(TestKit)
#include "test_kit.moc"
