#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <future>
#include <thread>

#include "data/book_checks.h"
#include "data/data_module.h"
#include "documents/quotation_document.h"
#include "master/goods_catalog.h"
#include "master/goods_editor.h"
#include "platform/errors.h"
#include "platform/picture_reader.h"
#include "support/test_books.h"

// The goods catalogue and the goods editor, on both engines. A picture is a file named after the code, written with its
// goods row, never outside the picture folder.
class TestGoods : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init() {
        m_program = TestBooks::TestProgram::asAdministratorOnCurrentEngine();
        if (!m_program) {
            return;
        }
        m_outside = std::make_unique<QTemporaryDir>();
        AppContext& c = m_program->context();
        c.PictureFolder = m_program->folder() + "/pics/not-yet/";  // created when a picture is saved
        db().query("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0)");
        db().query(
            "insert into Provider (Corp_code, provider_name, provider_Corp_Name) values ('00001', '王五', '五金厂')");
        m_catalog = std::make_unique<GoodsCatalog>(c);
        m_catalog->editClass = [](Dataset& classes) {
            classes.setValue("Class_name", "新类别");
            return true;
        };
        m_catalog->open();
    }
    void cleanup() {
        m_catalog.reset();
        m_program.reset();
    }
    void newGoodsAndCodeGaps() {
        QVERIFY(!m_catalog->addGoods());  // the root has a child class
        QCOMPARE(lastText(), QString("只能在没有子类的商品类别里增加商品！"));
        m_catalog->focusClass(2);
        QVERIFY(m_catalog->addGoods());
        QCOMPARE(m_catalog->goods().value("code").toString() + m_catalog->goods().value("Keyin_person").toString(),
                 QString("SP00000001超级用户"));
        GoodsEditor first(m_program->context(), *m_catalog, GoodsEditor::New);
        QVERIFY(first.codeEditable());
        answer(false);
        QVERIFY(first.close());  // declined: nothing kept, the code is gone
        QCOMPARE(count("1=1"), 0);
        QVERIFY(m_catalog->addGoods());
        GoodsEditor second(m_program->context(), *m_catalog, GoodsEditor::New);
        m_catalog->goods().setValue("Goods_class", QVariant());
        QVERIFY(!second.save());
        QCOMPARE(lastText(), QString("请填写[商品名称,计量单位,商品分类,供应商]"));
        m_catalog->goods().setValue("Goods_class", 2);
        m_catalog->goods().setValue("Goods_name", "合页");
        // The default total follows the quantity and the price.
        m_catalog->goods().setValue("Default_price", 1.5);
        m_catalog->goods().setValue("Default_Qty", 3);
        QCOMPARE(m_catalog->goods().value("Default_TotalPrice").toDouble(), 4.5);
        fill(second);
        QVERIFY(second.save());
        QVERIFY(!second.codeEditable());
        QCOMPARE(count("code='SP00000002' and Goods_class=2"), 1);
        QVERIFY(second.addNext());
        QCOMPARE(m_catalog->goods().value("code").toString(), QString("SP00000003"));
        QCOMPARE(m_catalog->goods().value("Goods_class").toInt(), 2);
        // From the root the next goods has no class until a leaf class is chosen.
        m_catalog->goods().cancel();
        m_catalog->focusClass(1);
        QVERIFY(second.addNext());
        QVERIFY(m_catalog->goods().value("Goods_class").isNull());
        m_catalog->goods().setValue("Goods_name", "门窗型材");
        fill(second);
        QVERIFY(!second.save());
        QCOMPARE(lastText(), QString("请填写[商品分类]"));
        m_catalog->goods().setValue("Goods_class", 1);  // past the chooser: still refused
        QVERIFY(!second.save());
        QVERIFY(!second.chooseClass(1));
        QCOMPARE(lastText(), QString("只能选择最末一级的商品类别,请重新选择"));
        QVERIFY(second.chooseClass(2));
        m_catalog->goods().setValue("code", "SP00000002");  // another goods' code
        QVERIFY(!second.save());
        QCOMPARE(lastText(), QString("该商品编码已经存在，请用其他编码"));
        m_catalog->goods().setValue("code", "SP1");
        QVERIFY(second.save());
        QCOMPARE(count("code='SP1' and Goods_name='门窗型材' and Goods_class=2"), 1);
    }
    // The pick list keeps one line per goods; at the root, which keeps no goods itself, a class is added without a
    // question.
    void pickListClassesAndMoves() {
        db().query(
            "insert into goods (code, Goods_name, Goods_class, Keyin_person) values ('SP1', '拉手', 2, '别人'), "
            "('SP2', '合页', 2, '别人')");
        m_catalog->focusClass(1);
        m_catalog->addToPickList({0, 1});
        m_catalog->addToPickList({0});
        QCOMPARE(m_catalog->pickLines(), QStringList({"SP1=拉手", "SP2=合页"}));
        m_catalog->removeFromPickList({"SP1"});
        QCOMPARE(m_catalog->pickedCodes(), QStringList{"SP2"});
        QVERIFY(m_catalog->addClass());
        QVERIFY(m_program->prompter().messages().isEmpty());
        QCOMPARE(count("Goods_class=2"), 2);
        // Goods kept in the root itself are offered to move: No adds nothing.
        db().query("insert into goods (code, Goods_class) values ('SP9', 1)");
        m_catalog->focusClass(1);
        answer(false);
        QVERIFY(!m_catalog->addClass());
        QVERIFY(lastText().contains("这些商品将会归类到新的分类下"));
        db().query("delete from goods where code='SP9'");
        m_catalog->focusClass(2);
        answer(true);
        QVERIFY(m_catalog->addClass());  // the goods of 五金 move into the new class, who moved them recorded
        const int created = db().scalar("select max(id) from goods_group").toInt();
        QCOMPARE(count(QString("Goods_class=%1 and Keyin_person='超级用户'").arg(created)), 2);
        m_catalog->focusClass(2);
        QVERIFY(!m_catalog->deleteClass());
        QVERIFY(lastText().startsWith("删除该类别前，请删除该类别的所有分类"));
        const QVariant sp1 = db().scalar("select id from goods where code='SP1'");
        QVERIFY(!m_catalog->moveGoods({sp1}, 2));
        QCOMPARE(lastText(), QString("该商品类别下面还有分类，不能归类到该商品类别下"));
        // Goods moved to another class record who moved them and when.
        db().query("update goods set Keyin_person='别人', Update_time=NULL");
        m_program->context().CurrentUser.UserName = "小王";
        m_program->context().clock().setToday(QDate(2026, 3, 4));
        const int top = db().scalar("select min(id) from goods_group where id > 2").toInt();
        QVERIFY(m_catalog->moveGoods({sp1}, top));
        QCOMPARE(db().scalar("select Keyin_person from goods where code='SP1'").toString(), QString("小王"));
        QCOMPARE(db().scalar("select Update_time from goods where code='SP1'").toDateTime().date(), QDate(2026, 3, 4));
        QCOMPARE(count("Keyin_person='别人'"), 1);
    }
    // A picture is stored as a JPEG under the code; a cleared picture's file goes with the save, so that dropping the
    // change keeps it.
    void picturesAreJpegNamedAfterTheCode() {
        auto e = newGoods("");
        QCOMPARE(e->pictureCaption(), QString("还没指定商品图片"));
        QVERIFY(!e->choosePicture(picture()));  // no code to name it after
        QCOMPARE(lastText(), QString("选择图片前请填写商品编码"));
        m_catalog->goods().setValue("code", "SP00000001");
        // No picture: only the caption changes.
        const QString bad = BookChecks::written(m_outside->filePath("bad.jpg"), "not a picture");
        QVERIFY(!e->choosePicture(bad));
        QCOMPARE(e->pictureCaption(), QString("找不到商品图片"));
        QString why;
        QVERIFY(PictureReader::read(bad, &why).isNull() && why.contains("无法读取图片"));
        QVERIFY(PictureReader::read(m_outside->filePath("none.jpg"), &why).isNull() && why.contains("找不到图片文件"));
        QVERIFY(m_catalog->goods().value("PicturePath").isNull());
        QVERIFY(e->choosePicture(picture()));
        QVERIFY(e->save());
        const QString file = folder() + "SP00000001.jpg";
        QCOMPARE(QImageReader(file).format(), QByteArray("jpeg"));
        QCOMPARE(stored("PicturePath").toString(), QString("SP00000001.jpg"));
        answer(true);
        QVERIFY(e->clearPicture());
        QVERIFY(e->picture().isNull());
        QVERIFY(QFile::exists(file));
        answer(false);
        QVERIFY(e->close());
        QCOMPARE(stored("PicturePath").toString(), QString("SP00000001.jpg"));
        GoodsEditor again(m_program->context(), *m_catalog, GoodsEditor::Existing);
        QVERIFY(!again.picture().isNull());
        answer(true);
        QVERIFY(again.clearPicture());
        QVERIFY(again.save());
        QVERIFY(!QFile::exists(file));
        QVERIFY(stored("PicturePath").isNull());
        // A stored picture removed outside the program.
        m_catalog->goods().setValue("PicturePath", "SP00000001.jpg");
        again.showStoredPicture();
        QCOMPARE(again.pictureCaption(), QString("找不到商品图片"));
    }
    void deletingGoodsRemovesAllTheirPictures() {
        QDir().mkpath(folder());
        for (int i = 1; i <= 3; ++i) {
            db().query("insert into goods (code, Goods_class, PicturePath) values (:c, 2, :p)",
                       {{"c", QString("SP%1").arg(i)}, {"p", QString("SP%1.jpg").arg(i)}});
            QVERIFY(QFile(folder() + QString("SP%1.jpg").arg(i)).open(QIODevice::WriteOnly));
        }
        m_catalog->focusClass(2);
        // Goods a quotation names stay, the quotations listed; nothing is deleted.
        db().query("insert into Quotation_Detail (HeadNo, GoodsNo, QTY) values ('BJ9', 'SP3', 1), ('BJ8', 'SP3', 2)");
        QVERIFY(!m_catalog->deleteGoods({0, 2}));
        QVERIFY2(lastText().contains("SP3: BJ8、BJ9"), qPrintable(lastText()));
        QCOMPARE(QDir(folder()).entryList(QDir::Files).size(), 3);
        QCOMPARE(count("1=1"), 3);
        db().query("delete from Quotation_Detail");
        answer(true);
        QVERIFY(m_catalog->deleteGoods({0, 2}));
        QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList{"SP2.jpg"});
        QCOMPARE(count("1=1"), 1);
    }
    // Goods a quotation is being saved with on another workstation stay: the deletion waits for that save and
    // then finds its lines.
    void goodsBeingQuotedElsewhereStay() {
        db().query(
            "insert into goods (code, Goods_name, Goods_unit, Goods_class, Provide_corp) "
            "values ('SP3', '合页', 'UN001', 2, '00001')");
        m_catalog->focusClass(2);
        std::promise<QString> saving;
        std::jthread other([this, &saving] {
            try {
                std::unique_ptr<Database> second = m_program->connectAgain();
                Clock clock;
                ScriptedPrompter prompter;
                WriteTransaction tx(*second);
                QuotationDocument quotation(*second, clock, prompter, "乙");
                quotation.load(QuotationDocument::New);
                const bool saved = quotation.addGoods({"SP3"}) == 1 && quotation.save();
                saving.set_value(saved ? quotation.billNo() : prompter.lastText());
                QThread::msleep(1500);  // the deletion here waits for this
                tx.commit();
            } catch (...) {
                saving.set_exception(std::current_exception());
            }
        });
        const QString billNo = saving.get_future().get();
        answer(true);
        QString refused = "deleted";
        try {
            m_catalog->deleteGoods({0});
        } catch (const OlvendError& e) {
            refused = e.message();
        }
        other.join();
        QVERIFY2(billNo.startsWith("BJ"), qPrintable(billNo));
        QVERIFY2(refused.contains("SP3: " + billNo), qPrintable(refused));
        QCOMPARE(count("code='SP3'"), 1);
    }
    // A code that is no plain file name is refused (every kind of such name:
    // TestPlatform::pictureNamesStayInTheFolder).
    void hostileCodesAreRefused() {
        const QString code = "../../escaped";
        const QString refusal = QStringLiteral(
            "商品编码不能用作图片文件名，请不要使用 \\ / : * ? \" < > | 和控制字符，也不要用 CON、NUL、COM1 等设备名");
        auto editor = newGoods(code);
        QVERIFY(editor);
        // Choosing a picture under such a code is refused at once.
        QVERIFY(!editor->choosePicture(picture()));
        QCOMPARE(lastText(), refusal);
        QVERIFY(m_catalog->goods().value("PicturePath").isNull());
        // The code changed after the picture was chosen: refused before any write.
        m_catalog->goods().setValue("code", "SP00000001");
        QVERIFY(editor->choosePicture(picture()));
        m_catalog->goods().setValue("code", code);
        QVERIFY(!editor->save());
        QCOMPARE(lastText(), refusal);
        QVERIFY(count("1=1") == 0 && !QDir(folder()).exists() && !QFile::exists(m_program->folder() + "/escaped.jpg"));
    }
    // A stored name leading out of the folder is never read, cleared or deleted; a new picture goes into the folder
    // under the code.
    void storedPathsLeadingOutAreIgnored() {
        const QString sentinel = painted(m_program->folder() + "/sentinel.jpg", Qt::red, {8, 8});
        const QString stored = "../../sentinel.jpg";
        QVERIFY(!sentinel.isEmpty() && QDir().mkpath(folder()));
        const auto bytes = [&] {
            QFile f(sentinel);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray before = bytes();
        db().query(
            "insert into goods (code, Goods_name, Goods_unit, Goods_class, Provide_corp, PicturePath) "
            "values ('SP1', '合页', 'UN001', 2, '00001', :p)",
            {{"p", stored}});
        for (int step = 0; step < 3; ++step) {
            db().query("update goods set PicturePath=:p", {{"p", stored}});
            m_catalog->focusClass(2);
            QCOMPARE(m_catalog->pictureFile(0), QString());
            GoodsEditor editor(m_program->context(), *m_catalog, GoodsEditor::Existing);
            QVERIFY(editor.picture().isNull());
            if (step == 0) {
                QCOMPARE(editor.pictureCaption(), QString("找不到商品图片"));
                answer(true);
                QVERIFY(editor.clearPicture());
                QVERIFY(editor.save());
                QVERIFY(this->stored("PicturePath").isNull());
            } else if (step == 1) {
                QVERIFY(editor.choosePicture(picture()));
                QVERIFY(editor.save());
                QVERIFY(QFile::exists(folder() + "SP1.jpg"));
            } else {
                answer(true);
                QVERIFY(m_catalog->deleteGoods({0}));
                QCOMPARE(count("1=1"), 0);
            }
            QCOMPARE(bytes(), before);
        }
    }
    // A failed save (the book locked) leaves the stored picture as it was and no picture of goods not saved.
    void aFailedSaveKeepsThePictureAsItWas() {
        if (TestBooks::currentEngine() != QLatin1String("sqlite")) {
            QSKIP("another program's lock is the embedded book's");
        }
        m_program->shortenBusyTimeout();
        m_catalog = std::make_unique<GoodsCatalog>(m_program->context());
        m_catalog->open();
        const auto green = [&] { return QImage(folder() + "SP7.jpg").pixelColor(15, 10).green() > 200; };
        auto editor = newGoods("SP7");
        QVERIFY(editor->choosePicture(picture(Qt::green)));
        QVERIFY(editor->save());
        QVERIFY(green());
        QVERIFY(editor->choosePicture(picture(Qt::red)));
        const auto saveWhileLocked = [&] {
            auto holder = m_program->lockMainBook();
            QVERIFY_THROWS_EXCEPTION(OlvendError, editor->save());
        };
        saveWhileLocked();
        QVERIFY(green());
        QVERIFY(editor->isModified());
        // New goods whose save fails leave no picture behind.
        QVERIFY(editor->addNext());
        m_catalog->goods().setValue("Goods_name", "门吸");
        m_catalog->goods().setValue("code", "SP8");
        fill(*editor);
        QVERIFY(editor->choosePicture(picture(Qt::blue)));
        saveWhileLocked();
        QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList{"SP7.jpg"});
    }
    // A phone photo of 8000 x 6000 is read scaled down, shown and stored. New goods typed with its code, a picture
    // chosen and cleared, the code corrected and saved: the photo's goods keeps its picture.
    void phonePhotosAreReadScaledAndKeptFromAnothersClearing() {
        const QString file = painted(m_outside->filePath("phone.jpg"), Qt::darkCyan, {8000, 6000}, 50);
        {
            auto first = newGoods("SP1");
            QVERIFY(first->choosePicture(file));
            const QImage shown = first->picture();
            QVERIFY(qint64(shown.width()) * shown.height() <= PictureReader::kMaxPixels);
            QVERIFY(shown.width() > 4000);
            QCOMPARE(qRound(shown.width() * 3.0 / shown.height()), 4);
            QVERIFY(first->save());
            QCOMPARE(QImage(folder() + "SP1.jpg").size(), shown.size());
        }
        auto editor = newGoods("SP1");
        QVERIFY(editor->choosePicture(picture(Qt::red)));
        answer(true);
        QVERIFY(editor->clearPicture());
        m_catalog->goods().setValue("code", "SP2");
        QVERIFY(editor->save());
        QVERIFY(QFile::exists(folder() + "SP1.jpg"));
        QCOMPARE(db().scalar("select PicturePath from goods where code = 'SP1'").toString(), QString("SP1.jpg"));
        QVERIFY(db().scalar("select PicturePath from goods where code = 'SP2'").isNull());
    }

private:
    Database& db() { return m_program->context().data().main(); }
    int count(const QString& where) { return db().scalar("select count(*) from goods where " + where).toInt(); }
    QVariant stored(const QString& field) { return db().scalar("select " + field + " from goods"); }
    QString lastText() { return m_program->prompter().lastText(); }
    QString folder() const { return m_program->context().PictureFolder; }
    void answer(bool yes) { m_program->prompter().setNextAnswer(yes); }
    // Unit and supplier given, as the editor's choosers give them.
    static void fill(GoodsEditor& e) {
        e.setUnit("UN001");
        e.setSupplier("00001");
    }
    // A new goods of 五金 in the editor, its fields filled in, under `code`.
    std::unique_ptr<GoodsEditor> newGoods(const QString& code) {
        m_catalog->focusClass(2);
        if (!m_catalog->addGoods()) {
            return nullptr;
        }
        auto editor = std::make_unique<GoodsEditor>(m_program->context(), *m_catalog, GoodsEditor::New);
        m_catalog->goods().setValue("Goods_name", "合页");
        fill(*editor);
        m_catalog->goods().setValue("code", code);
        return editor;
    }
    // A picture of `colour` to choose, outside the program folder.
    QString picture(const QColor& colour = Qt::green) { return painted(m_outside->filePath("chosen.bmp"), colour); }
    // Writes a picture of one colour to `file`, in the format its name says; `file`, or "" when it cannot.
    static QString painted(const QString& file, const QColor& colour, QSize size = {30, 20}, int quality = -1) {
        QImage image(size, QImage::Format_RGB888);
        image.fill(colour);
        return image.save(file, nullptr, quality) ? file : QString();
    }
    std::unique_ptr<TestBooks::TestProgram> m_program;
    std::unique_ptr<GoodsCatalog> m_catalog;
    std::unique_ptr<QTemporaryDir> m_outside;  // of each test
};

QTEST_MAIN(TestGoods)
#include "test_goods.moc"
