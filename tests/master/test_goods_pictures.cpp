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

// Goods pictures are files named after the goods code. A hostile code typed
// in the editor, or a hostile stored PicturePath (from an older book or
// another program), never reads, writes or removes a file outside the
// picture folder.
class TestGoodsPictures : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void hostileCodesAreRefused_data();
    void hostileCodesAreRefused();
    void storedPathsLeadingOutAreIgnored_data();
    void storedPathsLeadingOutAreIgnored();
    void phonePhotosAreReadScaled();
    void aFailedSaveKeepsThePictureAsItWas();
    void clearingOnlyRemovesThisGoodsPicture();

private:
    Database& db() { return m_program->context().data().main(); }
    // Placeholders of the data rows: @out@ is a folder outside the program.
    QString expand(QString text) const { return text.replace("@out@", m_outside.path()); }
    QStringList jpegFiles() const;
    void fillRequiredFields(GoodsEditor& editor);
    QString picture(const QColor& colour = Qt::green);

    std::unique_ptr<TestBooks::TestProgram> m_program;
    std::unique_ptr<GoodsCatalog> m_catalog;
    QTemporaryDir m_outside;
};

namespace {
const QString kUnsafeCode = QStringLiteral(
    "商品编码不能用作图片文件名，请不要使用 \\ / : * ? \" < > | 和控制字符，"
    "也不要用 CON、NUL、COM1 等设备名");
}  // namespace

void TestGoodsPictures::init() {
    m_program = std::make_unique<TestBooks::TestProgram>(true);
    AppContext& c = m_program->context();
    c.data().ConnectDatabases();
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

void TestGoodsPictures::fillRequiredFields(GoodsEditor& editor) {
    m_catalog->goods().setValue("Goods_name", "合页");
    editor.setUnit("UN001");
    editor.setSupplier("00001");
}

// A picture to choose, outside the program folder.
QString TestGoodsPictures::picture(const QColor& colour) {
    const QString file = m_outside.filePath("chosen.bmp");
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(colour);
    image.save(file);
    return file;
}

void TestGoodsPictures::hostileCodesAreRefused_data() {
    QTest::addColumn<QString>("code");
    QTest::newRow("up two folders") << "../../escaped";
    QTest::newRow("up, Windows style") << "..\\..\\escaped";
    QTest::newRow("absolute") << "@out@/escaped";
    QTest::newRow("into a subfolder") << "sub/escaped";
    QTest::newRow("drive letter") << "C:escaped";
    QTest::newRow("device name") << "CON";
    QTest::newRow("device name, lower case") << "nul";
    QTest::newRow("wildcard") << "SP*1";
    QTest::newRow("control character") << "SP\x01"
                                          "1";
    QTest::newRow("NUL character") << QString("SP1") + QChar(0) + "x";
}

void TestGoodsPictures::hostileCodesAreRefused() {
    QFETCH(QString, code);
    code = expand(code);
    QVERIFY(m_catalog->addGoods());
    GoodsEditor editor(m_program->context(), *m_catalog, GoodsEditor::New);
    fillRequiredFields(editor);
    // Choosing a picture under such a code is refused at once.
    m_catalog->goods().setValue("code", code);
    QVERIFY(!editor.choosePicture(picture()));
    QCOMPARE(m_program->prompter().lastText(), kUnsafeCode);
    QVERIFY(m_catalog->goods().value("PicturePath").isNull());
    QVERIFY(!editor.save());
    QCOMPARE(m_program->prompter().lastText(), kUnsafeCode);
    // A picture chosen under a good code, then the code changed: refused
    // before anything is written.
    m_catalog->goods().setValue("code", "SP00000001");
    QVERIFY(editor.choosePicture(picture()));
    m_catalog->goods().setValue("code", code);
    QVERIFY(!editor.save());
    QCOMPARE(m_program->prompter().lastText(), kUnsafeCode);
    QCOMPARE(db().scalar("select count(*) from goods").toInt(), 0);
    QCOMPARE(jpegFiles(), QStringList());
    // The same goods under a good code saves with its picture in the folder.
    m_catalog->goods().setValue("code", "SP00000001");
    QVERIFY(editor.save());
    QCOMPARE(jpegFiles(), QStringList{m_program->context().PictureFolder + "SP00000001.jpg"});
}

void TestGoodsPictures::storedPathsLeadingOutAreIgnored_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("sentinel");  // where the stored name leads
    QTest::newRow("up one folder") << "../sentinel.jpg"
                                   << "pics/sentinel.jpg";
    QTest::newRow("up two folders") << "../../sentinel.jpg"
                                    << "sentinel.jpg";
    QTest::newRow("absolute") << "@out@/sentinel.jpg"
                              << "@out@/sentinel.jpg";
}

void TestGoodsPictures::storedPathsLeadingOutAreIgnored() {
    QFETCH(QString, stored);
    QFETCH(QString, sentinel);
    stored = expand(stored);
    sentinel = expand(sentinel);
    if (QDir::isRelativePath(sentinel)) {
        sentinel = m_program->folder() + '/' + sentinel;
    }
    QDir().mkpath(m_program->context().PictureFolder);
    QDir().mkpath(QFileInfo(sentinel).path());
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(sentinel, "JPG"));
    QFile file(sentinel);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();
    auto sentinelIntact = [&] {
        QFile f(sentinel);
        return f.open(QIODevice::ReadOnly) && f.readAll() == bytes;
    };
    db().query(
        "insert into goods (code, Goods_name, Goods_unit, Goods_class, Provide_corp, PicturePath) "
        "values ('SP1', '合页', 'UN001', 2, '00001', :p)",
        {{"p", stored}});
    m_catalog->focusClass(2);
    QCOMPARE(m_catalog->goods().rowCount(), 1);

    // Reading: the picture outside is not shown.
    QCOMPARE(m_catalog->pictureFile(0), QString());
    {
        GoodsEditor editor(m_program->context(), *m_catalog, GoodsEditor::Existing);
        QVERIFY(editor.picture().isNull());
        QCOMPARE(editor.pictureCaption(), QString("找不到商品图片"));
        // Clearing: the name is dropped, the file outside stays.
        m_program->prompter().setNextAnswer(true);
        QVERIFY(editor.clearPicture());
        QVERIFY(sentinelIntact());
        QVERIFY(editor.save());
        QVERIFY(db().scalar("select PicturePath from goods").isNull());
    }
    QVERIFY(sentinelIntact());

    // Writing: a new picture goes into the folder under the code.
    db().query("update goods set PicturePath=:p", {{"p", stored}});
    m_catalog->focusClass(2);
    {
        GoodsEditor editor(m_program->context(), *m_catalog, GoodsEditor::Existing);
        QVERIFY(editor.choosePicture(picture()));
        QVERIFY(editor.save());
    }
    QVERIFY(sentinelIntact());
    QVERIFY(QFile::exists(m_program->context().PictureFolder + "SP1.jpg"));

    // Deleting: the goods goes, the file outside stays.
    db().query("update goods set PicturePath=:p", {{"p", stored}});
    m_catalog->focusClass(2);
    m_program->prompter().setNextAnswer(true);
    QVERIFY(m_catalog->deleteGoods({0}));
    QCOMPARE(db().scalar("select count(*) from goods").toInt(), 0);
    QVERIFY(sentinelIntact());
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
    db().query(
        "insert into goods (code, Goods_name, Goods_class, Goods_unit, Provide_corp) values ('SP1', '合页', 2, "
        "'UN001', "
        "'00001')");
    m_catalog->focusClass(2);
    GoodsEditor editor(m_program->context(), *m_catalog, GoodsEditor::Existing);
    QVERIFY(editor.choosePicture(file));
    const QImage shown = editor.picture();
    QVERIFY(!shown.isNull());
    QVERIFY(qint64(shown.width()) * shown.height() <= PictureReader::kMaxPixels);
    QVERIFY(shown.width() > 4000);
    QCOMPARE(qRound(shown.width() * 3.0 / shown.height()), 4);
    QVERIFY(editor.save());
    const QImage stored(m_program->context().PictureFolder + "SP1.jpg");
    QCOMPARE(stored.size(), shown.size());

    // What the reader says of a file that is no picture, or none (the
    // editor's caption for it: TestGoods::badPicturesOnlyChangeTheCaption).
    QFile junk(m_outside.filePath("junk.jpg"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();
    QString why;
    QVERIFY(PictureReader::read(junk.fileName(), &why).isNull());
    QVERIFY(why.contains("无法读取图片"));
    QVERIFY(PictureReader::read(m_outside.filePath("none.jpg"), &why).isNull());
    QVERIFY(why.contains("找不到图片文件"));
}

// The picture is written only once its goods row is: a save that fails (the
// book locked by another program) leaves the stored picture as it was and
// no picture file for goods that were not saved; saved again, both go in.
void TestGoodsPictures::aFailedSaveKeepsThePictureAsItWas() {
    m_catalog.reset();
    m_program->shortenBusyTimeout();
    m_catalog = std::make_unique<GoodsCatalog>(m_program->context());
    m_catalog->open();
    m_catalog->focusClass(2);
    const QString folder = m_program->context().PictureFolder;
    const auto storedColour = [&](const QString& code) {
        const QImage stored(folder + code + ".jpg");
        return stored.isNull() ? QColor() : stored.pixelColor(15, 10);
    };
    const auto near = [](const QColor& a, const QColor& b) {
        return a.isValid() && qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 &&
               qAbs(a.blue() - b.blue()) < 40;
    };

    QVERIFY(m_catalog->addGoods());
    GoodsEditor editor(m_program->context(), *m_catalog, GoodsEditor::New);
    fillRequiredFields(editor);
    m_catalog->goods().setValue("code", "SP00000007");
    QVERIFY(editor.choosePicture(picture(Qt::green)));
    QVERIFY(editor.save());
    QVERIFY(near(storedColour("SP00000007"), Qt::green));

    // Another picture for the same goods while the book is locked.
    QVERIFY(editor.choosePicture(picture(Qt::red)));
    m_catalog->goods().setValue("Goods_name", "门吸");
    {
        auto holder = m_program->lockMainBook();
        QVERIFY_THROWS_EXCEPTION(OlvendError, editor.save());
    }
    QVERIFY(near(storedColour("SP00000007"), Qt::green));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"SP00000007.jpg"});
    QVERIFY(editor.isModified());
    QVERIFY(editor.save());
    QVERIFY(near(storedColour("SP00000007"), Qt::red));
    QCOMPARE(db().scalar("select Goods_name from goods where code = 'SP00000007'").toString(), QString("门吸"));

    // New goods whose save fails leave no picture behind.
    QVERIFY(editor.addNext());
    fillRequiredFields(editor);
    m_catalog->goods().setValue("code", "SP00000008");
    QVERIFY(editor.choosePicture(picture(Qt::blue)));
    {
        auto holder = m_program->lockMainBook();
        QVERIFY_THROWS_EXCEPTION(OlvendError, editor.save());
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"SP00000007.jpg"});
    QCOMPARE(db().scalar("select count(*) from goods where code = 'SP00000008'").toInt(), 0);
}

// A new goods typed with another goods' code by mistake, a picture chosen
// and cleared, the code corrected and saved: the other goods keeps its
// picture.
void TestGoodsPictures::clearingOnlyRemovesThisGoodsPicture() {
    const QString folder = m_program->context().PictureFolder;
    QVERIFY(m_catalog->addGoods());
    {
        GoodsEditor first(m_program->context(), *m_catalog, GoodsEditor::New);
        fillRequiredFields(first);
        m_catalog->goods().setValue("code", "SP00000001");
        QVERIFY(first.choosePicture(picture(Qt::green)));
        QVERIFY(first.save());
    }
    QVERIFY(QFile::exists(folder + "SP00000001.jpg"));

    QVERIFY(m_catalog->addGoods());
    GoodsEditor editor(m_program->context(), *m_catalog, GoodsEditor::New);
    fillRequiredFields(editor);
    m_catalog->goods().setValue("code", "SP00000001");
    QVERIFY(editor.choosePicture(picture(Qt::red)));
    m_program->prompter().setNextAnswer(true);
    QVERIFY(editor.clearPicture());
    m_catalog->goods().setValue("code", "SP00000002");
    QVERIFY(editor.save());
    QVERIFY(QFile::exists(folder + "SP00000001.jpg"));
    QCOMPARE(db().scalar("select PicturePath from goods where code = 'SP00000001'").toString(),
             QString("SP00000001.jpg"));
    QVERIFY(db().scalar("select PicturePath from goods where code = 'SP00000002'").isNull());
}

QTEST_MAIN(TestGoodsPictures)
#include "test_goods_pictures.moc"
