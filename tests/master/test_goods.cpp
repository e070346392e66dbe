#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include "data/data_module.h"
#include "master/goods_catalog.h"
#include "master/goods_editor.h"
#include "support/test_books.h"

// The goods catalogue and the goods editor, on both engines.
class TestGoods : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data() { TestBooks::addEngineRows(); }
    void init();
    void cleanup();
    void newGoodsAndCodeGaps();
    void validationMessages();
    void picturesAreJpegNamedAfterTheCode();
    void deletingGoodsRemovesAllTheirPictures();
    void classesAndMoves();
    void pickListKeepsOneLinePerGoods();

private:
    Database& db() { return m_program->context().data().main(); }
    int count(const QString& where) { return db().scalar("select count(*) from goods where " + where).toInt(); }
    QString lastText() { return m_program->prompter().lastText(); }
    // Unit and supplier given, as the editor's choosers give them.
    static void fill(GoodsEditor& e) {
        e.setUnit("UN001");
        e.setSupplier("00001");
    }
    std::unique_ptr<TestBooks::TestProgram> m_program;
    std::unique_ptr<GoodsCatalog> m_catalog;
    QTemporaryDir m_files;
};

void TestGoods::init() {
    if (!TestBooks::engineAvailable()) {
        return;
    }
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    m_program->connect(TestBooks::currentEngine());
    AppContext& c = m_program->context();
    c.CurrentUser = {"超级用户", "", "管理员组"};
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

void TestGoods::cleanup() {
    m_catalog.reset();
    m_program.reset();
}

void TestGoods::newGoodsAndCodeGaps() {
    QVERIFY(!m_catalog->addGoods());  // the root has a child class
    QCOMPARE(lastText(), QString("只能在没有子类的商品类别里增加商品！"));
    m_catalog->focusClass(2);
    QVERIFY(m_catalog->addGoods());
    QCOMPARE(m_catalog->goods().value("code").toString(), QString("SP00000001"));
    QCOMPARE(m_catalog->goods().value("Keyin_person").toString(), QString("超级用户"));
    GoodsEditor first(m_program->context(), *m_catalog, GoodsEditor::New);
    QVERIFY(first.codeEditable());
    m_program->prompter().setNextAnswer(false);
    QVERIFY(first.close());  // declined: nothing kept, the code is gone
    QCOMPARE(count("1=1"), 0);
    QVERIFY(m_catalog->addGoods());
    GoodsEditor second(m_program->context(), *m_catalog, GoodsEditor::New);
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

    // From the root the next goods has no class until one is chosen, and
    // only a class without child classes is taken.
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
    QVERIFY(second.save());
    QCOMPARE(count("Goods_name='门窗型材' and Goods_class=2"), 1);
}

void TestGoods::validationMessages() {
    m_catalog->focusClass(2);
    QVERIFY(m_catalog->addGoods());
    m_catalog->goods().setValue("Goods_class", QVariant());
    GoodsEditor e(m_program->context(), *m_catalog, GoodsEditor::New);
    QVERIFY(!e.save());
    QCOMPARE(lastText(), QString("请填写[商品名称,计量单位,商品分类,供应商]"));
    m_catalog->goods().setValue("Goods_class", 2);
    db().query("insert into goods (code, Goods_name) values ('SP99', 'x')");
    m_catalog->goods().setValue("code", "SP99");
    QVERIFY(!e.save());
    QCOMPARE(lastText(), QString("该商品编码已经存在，请用其他编码"));
    // Quotes, wildcards and tabs are stored as typed; a remark as long as
    // its column fits.
    const QString hostile = QStringLiteral("a'b\"%_;-- 名\t");
    m_catalog->goods().setValue("code", "SP1");
    m_catalog->goods().setValue("Goods_name", hostile);
    m_catalog->goods().setValue("remark", QString(255, QChar(0x5B57)));
    fill(e);
    QVERIFY(e.save());
    QCOMPARE(db().scalar("select Goods_name from goods where code='SP1'").toString(), hostile);
}

void TestGoods::picturesAreJpegNamedAfterTheCode() {
    m_catalog->focusClass(2);
    QVERIFY(m_catalog->addGoods());
    GoodsEditor e(m_program->context(), *m_catalog, GoodsEditor::New);
    QCOMPARE(e.pictureCaption(), QString("还没指定商品图片"));
    // No picture, or no code to name it after: only the caption changes.
    QFile bad(m_files.filePath("bad.jpg"));
    QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a picture") > 0);
    bad.close();
    QVERIFY(!e.choosePicture(bad.fileName()));
    QCOMPARE(e.pictureCaption(), QString("找不到商品图片"));
    QVERIFY(m_catalog->goods().value("PicturePath").isNull());
    m_catalog->goods().setValue("code", "");
    QVERIFY(!e.choosePicture(bad.fileName()));
    QCOMPARE(lastText(), QString("选择图片前请填写商品编码"));
    m_catalog->goods().setValue("code", "SP00000001");

    QImage bmp(30, 20, QImage::Format_RGB32);
    bmp.fill(Qt::green);
    QVERIFY(bmp.save(m_files.filePath("pic.bmp")));
    QVERIFY(e.choosePicture(m_files.filePath("pic.bmp")));
    m_catalog->goods().setValue("Goods_name", "合页");
    fill(e);
    QVERIFY(e.save());
    const QString file = m_program->context().PictureFolder + "SP00000001.jpg";
    QCOMPARE(QImageReader(file).format(), QByteArray("jpeg"));
    QCOMPARE(db().scalar("select PicturePath from goods").toString(), QString("SP00000001.jpg"));
    // Clearing shows no picture at once; the file goes with the save, so
    // that dropping the change keeps the goods and its picture together.
    m_program->prompter().setNextAnswer(true);
    QVERIFY(e.clearPicture());
    QVERIFY(e.picture().isNull());
    QVERIFY(QFile::exists(file));
    m_program->prompter().setNextAnswer(false);
    QVERIFY(e.close());
    QCOMPARE(db().scalar("select PicturePath from goods").toString(), QString("SP00000001.jpg"));
    GoodsEditor again(m_program->context(), *m_catalog, GoodsEditor::Existing);
    QVERIFY(!again.picture().isNull());
    m_program->prompter().setNextAnswer(true);
    QVERIFY(again.clearPicture());
    QVERIFY(again.save());
    QVERIFY(!QFile::exists(file));
    QVERIFY(db().scalar("select PicturePath from goods").isNull());
    // A stored picture removed outside the program.
    m_catalog->goods().setValue("PicturePath", "SP00000001.jpg");
    again.showStoredPicture();
    QCOMPARE(again.pictureCaption(), QString("找不到商品图片"));
}

void TestGoods::deletingGoodsRemovesAllTheirPictures() {
    const QString folder = m_program->context().PictureFolder;
    QDir().mkpath(folder);
    for (int i = 1; i <= 3; ++i) {
        db().query("insert into goods (code, Goods_class, PicturePath) values (:c, 2, :p)",
                   {{"c", QString("SP%1").arg(i)}, {"p", QString("SP%1.jpg").arg(i)}});
        QFile f(folder + QString("SP%1.jpg").arg(i));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    m_catalog->focusClass(2);
    // Goods a quotation names stay, with the quotations listed; nothing of
    // the selection is deleted, nor any picture.
    db().query("insert into Quotation_Detail (HeadNo, GoodsNo, QTY) values ('BJ9', 'SP3', 1), ('BJ8', 'SP3', 2)");
    QVERIFY(!m_catalog->deleteGoods({0, 2}));
    QVERIFY2(lastText().contains("SP3: BJ8、BJ9"), qPrintable(lastText()));
    QCOMPARE(count("1=1"), 3);
    QVERIFY(QFile::exists(folder + "SP1.jpg"));
    db().query("delete from Quotation_Detail");
    m_program->prompter().setNextAnswer(true);
    QVERIFY(m_catalog->deleteGoods({0, 2}));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"SP2.jpg"});
    QCOMPARE(count("1=1"), 1);
}

void TestGoods::classesAndMoves() {
    db().query("insert into goods (code, Goods_class, Keyin_person) values ('SP1', 2, '别人'), ('SP2', 2, '别人')");
    // At the root, which lists both goods but keeps none itself, a class
    // is added without a word about moving goods.
    m_catalog->focusClass(1);
    QVERIFY(m_catalog->addClass());
    QVERIFY(m_program->prompter().messages().isEmpty());
    QCOMPARE(count("Goods_class=2"), 2);
    // Goods kept in the root itself are offered to move: No adds nothing.
    db().query("insert into goods (code, Goods_class) values ('SP9', 1)");
    m_catalog->focusClass(1);
    m_program->prompter().setNextAnswer(false);
    QVERIFY(!m_catalog->addClass());
    QVERIFY(lastText().contains("这些商品将会归类到新的分类下"));
    db().query("delete from goods where code='SP9'");
    m_catalog->focusClass(2);
    m_program->prompter().setNextAnswer(true);
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

void TestGoods::pickListKeepsOneLinePerGoods() {
    db().query("insert into goods (code, Goods_name, Goods_class) values ('SP2', '合页', 2), ('SP1', '拉手', 2)");
    m_catalog->focusClass(1);
    m_catalog->addToPickList({0, 1});
    m_catalog->addToPickList({0});
    QCOMPARE(m_catalog->pickLines(), QStringList({"SP1=拉手", "SP2=合页"}));
    m_catalog->removeFromPickList({"SP1"});
    QCOMPARE(m_catalog->pickedCodes(), QStringList{"SP2"});
}

QTEST_MAIN(TestGoods)
#include "test_goods.moc"
