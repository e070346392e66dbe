#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "data/data_module.h"
#include "master/goods_catalog.h"
#include "master/goods_editor.h"
#include "platform/errors.h"
#include "platform/picture_reader.h"
#include "support/test_books.h"

// Goods pictures are files named after the goods code: a hostile code, or a
// hostile stored PicturePath (from an older book or another program), never
// reads, writes or removes a file outside the picture folder; a picture is
// written only with its goods row.
class TestGoodsPictures : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void hostileCodesAreRefused();
    void storedPathsLeadingOutAreIgnored();
    void phonePhotosAreReadScaled();
    void aFailedSaveKeepsThePictureAsItWas();
    void clearingOnlyRemovesThisGoodsPicture();

private:
    Database& db() { return m_program->context().data().main(); }
    QString folder() const { return m_program->context().PictureFolder; }
    QStringList jpegFiles() const;
    // A new goods in the editor, its fields filled in, under `code`.
    std::unique_ptr<GoodsEditor> newGoods(const QString& code);
    // A picture of `colour` to choose, outside the program folder.
    QString picture(const QColor& colour = Qt::green);

    std::unique_ptr<TestBooks::TestProgram> m_program;
    std::unique_ptr<GoodsCatalog> m_catalog;
    QTemporaryDir m_outside;
};

void TestGoodsPictures::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    AppContext& c = m_program->context();
    c.data().ConnectDatabases();
    m_program->shortenBusyTimeout();
    c.CurrentUser = {"超级用户", "", "管理员组"};
    c.PictureFolder = m_program->folder() + "/pics/goods/";
    db().query("insert into goods_group (Class_name, Parent_id, ico_no) values ('五金', 1, 0)");
    db().query(
        "insert into Provider (Corp_code, provider_name, provider_Corp_Name) values ('00001', '王五', '五金厂')");
    m_catalog = std::make_unique<GoodsCatalog>(c);
    m_catalog->open();
    m_catalog->focusClass(2);
}

void TestGoodsPictures::cleanup() {
    m_catalog.reset();
    m_program.reset();
}

QStringList TestGoodsPictures::jpegFiles() const {
    QStringList files;
    for (const QString& root : {m_program->folder(), m_outside.path()}) {
        QDirIterator it(root, {"*.jpg"}, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            files << it.next();
        }
    }
    return files;
}

std::unique_ptr<GoodsEditor> TestGoodsPictures::newGoods(const QString& code) {
    if (!m_catalog->addGoods()) {
        return nullptr;
    }
    auto editor = std::make_unique<GoodsEditor>(m_program->context(), *m_catalog, GoodsEditor::New);
    m_catalog->goods().setValue("Goods_name", "合页");
    editor->setUnit("UN001");
    editor->setSupplier("00001");
    m_catalog->goods().setValue("code", code);
    return editor;
}

QString TestGoodsPictures::picture(const QColor& colour) {
    const QString file = m_outside.filePath("chosen.bmp");
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(colour);
    image.save(file);
    return file;
}

// The editor refuses a code that is no plain file name (every kind of such
// name: TestPlatform::pictureNamesStayInTheFolder).
void TestGoodsPictures::hostileCodesAreRefused() {
    const QString code = "../../escaped";
    const QString refusal = QStringLiteral(
        "商品编码不能用作图片文件名，请不要使用 \\ / : * ? \" < > | 和控制字符，也不要用 CON、NUL、COM1 等设备名");
    auto editor = newGoods(code);
    QVERIFY(editor);
    // Choosing a picture under such a code is refused at once.
    QVERIFY(!editor->choosePicture(picture()));
    QCOMPARE(m_program->prompter().lastText(), refusal);
    QVERIFY(m_catalog->goods().value("PicturePath").isNull());
    // A picture chosen under a good code, then the code changed: the save
    // is refused before anything is written.
    m_catalog->goods().setValue("code", "SP00000001");
    QVERIFY(editor->choosePicture(picture()));
    m_catalog->goods().setValue("code", code);
    QVERIFY(!editor->save());
    QCOMPARE(m_program->prompter().lastText(), refusal);
    QCOMPARE(db().scalar("select count(*) from goods").toInt(), 0);
    QCOMPARE(jpegFiles(), QStringList());
}

// A stored name leading out of the folder (which names do:
// TestPlatform::pictureNamesStayInTheFolder).
void TestGoodsPictures::storedPathsLeadingOutAreIgnored() {
    const QString sentinel = m_program->folder() + "/sentinel.jpg";
    const QString stored = "../../sentinel.jpg";
    QDir().mkpath(folder());
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(sentinel, "JPG"));
    const auto bytes = [&] {
        QFile f(sentinel);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytes();
    db().query(
        "insert into goods (code, Goods_name, Goods_unit, Goods_class, Provide_corp, PicturePath) "
        "values ('SP1', '合页', 'UN001', 2, '00001', :p)",
        {{"p", stored}});
    m_catalog->focusClass(2);
    // Reading: the picture outside is not shown. Clearing: the name is
    // dropped, the file outside stays.
    QCOMPARE(m_catalog->pictureFile(0), QString());
    {
        GoodsEditor editor(m_program->context(), *m_catalog, GoodsEditor::Existing);
        QVERIFY(editor.picture().isNull());
        QCOMPARE(editor.pictureCaption(), QString("找不到商品图片"));
        m_program->prompter().setNextAnswer(true);
        QVERIFY(editor.clearPicture());
        QVERIFY(editor.save());
        QVERIFY(db().scalar("select PicturePath from goods").isNull());
    }
    // Writing: a new picture goes into the folder under the code.
    db().query("update goods set PicturePath=:p", {{"p", stored}});
    m_catalog->focusClass(2);
    {
        GoodsEditor editor(m_program->context(), *m_catalog, GoodsEditor::Existing);
        QVERIFY(editor.choosePicture(picture()));
        QVERIFY(editor.save());
    }
    QVERIFY(QFile::exists(folder() + "SP1.jpg"));
    // Deleting: the goods goes, the file outside stays.
    db().query("update goods set PicturePath=:p", {{"p", stored}});
    m_catalog->focusClass(2);
    m_program->prompter().setNextAnswer(true);
    QVERIFY(m_catalog->deleteGoods({0}));
    QCOMPARE(db().scalar("select count(*) from goods").toInt(), 0);
    QCOMPARE(bytes(), before);
}

// A phone photo of 8000 x 6000 is beyond what a picture may take in memory
// when read whole; it is read scaled down, shown and stored.
void TestGoodsPictures::phonePhotosAreReadScaled() {
    const QString file = m_outside.filePath("phone.jpg");
    {
        QImage photo(8000, 6000, QImage::Format_RGB888);
        photo.fill(Qt::darkCyan);
        QVERIFY(photo.save(file, "JPG", 50));
    }
    auto editor = newGoods("SP1");
    QVERIFY(editor->choosePicture(file));
    const QImage shown = editor->picture();
    QVERIFY(qint64(shown.width()) * shown.height() <= PictureReader::kMaxPixels);
    QVERIFY(shown.width() > 4000);
    QCOMPARE(qRound(shown.width() * 3.0 / shown.height()), 4);
    QVERIFY(editor->save());
    QCOMPARE(QImage(folder() + "SP1.jpg").size(), shown.size());
    // What the reader says of a file that is no picture, or none.
    QFile junk(m_outside.filePath("junk.jpg"));
    QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a picture") > 0);
    junk.close();
    QString why;
    QVERIFY(PictureReader::read(junk.fileName(), &why).isNull());
    QVERIFY(why.contains("无法读取图片"));
    QVERIFY(PictureReader::read(m_outside.filePath("none.jpg"), &why).isNull());
    QVERIFY(why.contains("找不到图片文件"));
}

// A save that fails (the book locked by another program) leaves the stored
// picture as it was and no picture file for goods that were not saved.
void TestGoodsPictures::aFailedSaveKeepsThePictureAsItWas() {
    const auto green = [&] { return QImage(folder() + "SP7.jpg").pixelColor(15, 10).green() > 200; };
    auto editor = newGoods("SP7");
    QVERIFY(editor->choosePicture(picture(Qt::green)));
    QVERIFY(editor->save());
    QVERIFY(green());
    QVERIFY(editor->choosePicture(picture(Qt::red)));
    {
        auto holder = m_program->lockMainBook();
        QVERIFY_THROWS_EXCEPTION(OlvendError, editor->save());
    }
    QVERIFY(green());
    QVERIFY(editor->isModified());
    // New goods whose save fails leave no picture behind.
    QVERIFY(editor->addNext());
    m_catalog->goods().setValue("Goods_name", "门吸");
    m_catalog->goods().setValue("code", "SP8");
    editor->setUnit("UN001");
    editor->setSupplier("00001");
    QVERIFY(editor->choosePicture(picture(Qt::blue)));
    {
        auto holder = m_program->lockMainBook();
        QVERIFY_THROWS_EXCEPTION(OlvendError, editor->save());
    }
    QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList{"SP7.jpg"});
}

// A new goods typed with another goods' code by mistake, a picture chosen
// and cleared, the code corrected and saved: the other goods keeps its
// picture.
void TestGoodsPictures::clearingOnlyRemovesThisGoodsPicture() {
    {
        auto first = newGoods("SP1");
        QVERIFY(first->choosePicture(picture()));
        QVERIFY(first->save());
    }
    auto editor = newGoods("SP1");
    QVERIFY(editor->choosePicture(picture(Qt::red)));
    m_program->prompter().setNextAnswer(true);
    QVERIFY(editor->clearPicture());
    m_catalog->goods().setValue("code", "SP2");
    QVERIFY(editor->save());
    QVERIFY(QFile::exists(folder() + "SP1.jpg"));
    QCOMPARE(db().scalar("select PicturePath from goods where code = 'SP1'").toString(), QString("SP1.jpg"));
    QVERIFY(db().scalar("select PicturePath from goods where code = 'SP2'").isNull());
}

QTEST_MAIN(TestGoodsPictures)
#include "test_goods_pictures.moc"
