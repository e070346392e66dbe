#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <tuple>

#include "data/book_checks.h"
#include "data/setting_scrambler.h"
#include "platform/app_paths.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/ini_file.h"
#include "platform/period.h"
#include "platform/picture_file.h"
#include "platform/picture_reader.h"

using BookChecks::refusal;
using BookChecks::written;

namespace {
// A chunk header claiming `length` bytes of data the file does not hold.
QByteArray overlongChunk(const QByteArray& type, quint32 length) {
    QByteArray header(4, '\0');
    qToBigEndian(length, header.data());
    return header + type + QByteArray("short");
}
}  // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    // Names in any case, values trimmed, comments and garbage kept, a change rewrites its line in place.
    void iniReadsAndChangesLinesInPlace() {
        const QString text =
            "; comment at the top\n[SYS_Setting]\npicPath=  D:\\Pics\\  \n# other comment\nFoo=bar=baz\n"
            "  DBType = SQLSERVER \n[Unknown]\nx=1\n";
        IniFile ini;
        ini.fromText(text);
        QCOMPARE(QStringList({ini.readString("SYS_Setting", "picPath"), ini.readString("sys_setting", "dbtype"),
                              ini.readString("SYS_Setting", "Foo"), ini.readString("SYS_Setting", "missing", "dflt")}),
                 QStringList({"D:\\Pics\\", "SQLSERVER", "bar=baz", "dflt"}));
        QCOMPARE(ini.toText(), text);
        ini.fromText("[db]\npath=db\\Book1.mdb\n\n[b]\ny=2\n");
        ini.setString("Db", "PATH", "db/Book2.db");
        ini.setString("db", "z", "3");
        ini.setString("c", "k", "v");
        QCOMPARE(ini.toText(), QString("[db]\npath=db/Book2.db\nz=3\n\n[b]\ny=2\n\n[c]\nk=v\n"));
        ini.fromText(QString::fromLatin1("\xff\xfe[[[\n=novalue\n]x[\nkey without equals\n\r\n[ok]\r\nk=v\r\n"));
        QCOMPARE(ini.readString("ok", "k"), QString("v"));
        ini.fromText(QString(QChar(0xFEFF)) + QChar(0xFEFF) +
                     "[DB]\r\r\nPath=db\\Book1.mdb\r\r\r\n[SYS_Setting]\r\nDBType = SQLITE\r\r\n");
        QCOMPARE(ini.sections(), QStringList({"DB", "SYS_Setting"}));
        const QString saved = ini.toText();
        QCOMPARE(saved, QString("[DB]\nPath=db\\Book1.mdb\n[SYS_Setting]\nDBType = SQLITE\n"));
        ini.fromText(saved);
        QCOMPARE(ini.toText(), saved);
        // A missing file reads empty; written through a temporary file; one that cannot be written is named.
        QTemporaryDir dir;
        IniFile file(dir.filePath("config.ini"));
        QCOMPARE(file.readString("db", "path"), QString());
        file.writeString("DefaultSetting", "Username", "超级用户");
        QCOMPARE(IniFile(dir.filePath("config.ini")).readString("defaultsetting", "username"), QString("超级用户"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"config.ini"});
        IniFile nowhere(dir.filePath("no/such/folder/config.ini"));
        QVERIFY(refusal([&] { nowhere.writeString("a", "b", "c"); }).contains("config.ini"));
    }
    // The folder from --home or OLVEND_HOME; templates from the folder (its copy wins) or the resources.
    void appPathsChooseTheFolderAndItsFiles() {
        QTemporaryDir dir;
        QCOMPARE(AppPaths::homeArgument({"olvend", "--home=/z"}), QString("/z"));
        const AppPaths p = AppPaths::fromArguments({"olvend", "--home", dir.path()});
        QCOMPARE(p.systemDatabase(), QDir(dir.path()).absolutePath() + "/db/System.db");
        qputenv("OLVEND_HOME", dir.path().toUtf8());
        QCOMPARE(AppPaths::fromArguments({"olvend"}).programFolder(), p.programFolder());
        qunsetenv("OLVEND_HOME");
        // Without either: a build tree or a folder of its own keeps its data beside the executable; an installed
        // program (the install folder, even for root who may write there, or a folder it cannot write) in the
        // user's data folder; --home and OLVEND_HOME win over both.
        // A folder an administrator prepared with its config.ini stays the folder where the user cannot write.
        const auto chosen = [](const QString& exe, bool writable, const QString& home = {}, const QString& env = {},
                               bool config = false) {
            return AppPaths::chooseFolder({home, env, exe, writable, config, "/usr/bin", "/home/li/.local/share"});
        };
        QCOMPARE(
            QStringList({chosen("/work/olvend/build/src", true), chosen("/usr/bin", true), chosen("/usr/bin/", true),
                         chosen("/opt/olvend/bin", false), chosen("/opt/olvend/bin", false, {}, {}, true),
                         chosen("/usr/bin", false, "/srv/books"), chosen("/usr/bin", false, {}, "/srv/office")}),
            QStringList({"/work/olvend/build/src", "/home/li/.local/share/olvend", "/home/li/.local/share/olvend",
                         "/home/li/.local/share/olvend", "/opt/olvend/bin", "/srv/books", "/srv/office"}));
        QCOMPARE(AppPaths("/opt/olvend").resolve("db\\UserAccountBook001.db"),
                 QString("/opt/olvend/db/UserAccountBook001.db"));
        QCOMPARE(AppPaths("/opt/olvend").resolve("/abs/book.db"), QString("/abs/book.db"));
        QCOMPARE(p.reportFile("List"), QString(":/Report/List.rmf"));
        // A name found nowhere gives the folder's path, which load calls missing.
        QCOMPARE(p.reportFile("Nothing_Here"), p.reportFolder() + "Nothing_Here");
        QVERIFY(QDir().mkpath(p.reportFolder()));
        written(p.reportFolder() + "List.rmf", {});
        QCOMPARE(p.reportFile("List"), p.reportFolder() + "List.rmf");
    }
    // --today fixes the day (olvendctl's tests run with it); a bad one is named.
    void clockFixesTheDayAndPeriodsIncludeBothEnds() {
        Clock c;
        QString error;
        QVERIFY(!c.applyArguments({"--today", "2006-13-40"}, &error));
        QVERIFY(error.contains("2006-13-40") && !c.isFixed());
        QVERIFY(c.applyArguments({"--today=2007-01-02"}, &error));
        QCOMPARE(c.now().date(), QDate(2007, 1, 2));
        // Both days belong to a period, an open end takes any day; the upper bound is the day after To.
        const Period june{QDate(2006, 6, 1), QDate(2006, 6, 30)};
        QVERIFY(june.contains(QDate(2006, 6, 1)) && june.contains(QDate(2006, 6, 30)));
        QVERIFY(!june.contains(QDate(2006, 5, 31)) && !june.contains(QDate(2006, 7, 1)) && !june.contains(QDate()));
        QVERIFY((Period{{}, QDate(2006, 6, 1)}.contains(QDate(1900, 1, 2))));
        QCOMPARE(june.lowerBound(), QVariant(QDate(2006, 6, 1).startOfDay()));
        QCOMPARE(june.upperBound(), QVariant(QDate(2006, 7, 1).startOfDay()));
        QVERIFY((Period{{}, HeldDates::last()}.upperBound().isNull()));
        const auto check = [](const QDate& from) { return refusal([&] { Period{from, QDate(2006, 6, 1)}.check(); }); };
        QCOMPARE(check(QDate(2006, 6, 1)) + "|" + check(QDate(2006, 6, 2)), QString("|开始日期不能晚于结束日期"));
    }
    void scrambledSettings() {
        // 's'+1='t', 'a'+2='c', filler between; "测试" as GB2312 B2 E2 CA D4 each raised by its position.
        QCOMPARE(UnscrambleSetting("t#c#"), QString("sa"));
        QCOMPARE(UnscrambleSetting("t#c"), QString("sa"));
        QCOMPARE(UnscrambleSetting(QString("%1x%2x%3x%4x").arg(QChar(0xB3), QChar(0xE4), QChar(0xCD), QChar(0xD8))),
                 QString("测试"));
        for (const QString& plain : {QString("P@ss word;1"), QString("Pw-测试1")}) {
            QCOMPARE(ScrambleSetting(plain).size(), plain.toUtf8().size() * 2);
            QCOMPARE(UnscrambleSetting(ScrambleSetting(plain)), plain);
        }
    }
    // Ways out of the folder, streams, wildcards, device names are no picture names; links are not followed. A PNG
    // whose chunk overruns the file is damaged.
    void pictureNamesStayInTheFolder() {
        const QStringList safe{"SP00000001.jpg", "合页-01 大号.jpg", "a..b.jpg", "CONSOLE.jpg"};
        QStringList unsafe =
            QString(
                "\n.\n..\n../x.jpg\n..\\x.jpg\na/x.jpg\n/etc/x.jpg\nC:x.jpg\nC:\\x.jpg\n\\\\server\\share\\x.jpg\n"
                "x.jpg:zone\nx\t.jpg\nx?.jpg\nx|y.jpg\nx.jpg.\nx.jpg \nCON.jpg\ncom1.jpg")
                .split('\n');
        unsafe << QString("x.jpg") + QChar(0) + "y";
        for (const QString& name : safe + unsafe) {
            const bool isSafe = safe.contains(name);
            QVERIFY2(PictureFile::isSafeName(name) == isSafe, qPrintable(name));
            QCOMPARE(PictureFile::inFolder("/pics/goods", name), isSafe ? "/pics/goods/" + name : QString());
        }
        QCOMPARE(PictureFile::inFolder("", "SP1.jpg"), QString());
        QTemporaryDir dir;
        const QString folder = dir.filePath("pics");
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(QFile::link(written(dir.filePath("outside.txt"), "not a picture"), folder + "/SP1.jpg"));
        written(folder + "/SP2.jpg", {});
        QCOMPARE(PictureFile::inFolder(folder, "SP1.jpg"), QString());
        QCOMPARE(PictureFile::inFolder(folder, "SP2.jpg"), folder + "/SP2.jpg");
        QCOMPARE(PictureFile::inFolder(folder, "SP3.jpg"), folder + "/SP3.jpg");
        // A small PNG with a text chunk before the pixels.
        QImage green(6, 4, QImage::Format_RGB32);
        green.fill(Qt::green);
        green.setText(QStringLiteral("Comment"), QStringLiteral("sound"));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        green.save(&buffer, "PNG");
        const qsizetype iend = png.indexOf("IEND") - 4;
        const qsizetype idat = png.indexOf("IDAT") - 4;
        QString why;
        // With bytes after its end: read.
        QCOMPARE(PictureReader::read(written(dir.filePath("tail.png"), png + QByteArray(100, 'x')), &why).size(),
                 QSize(6, 4));
        QVERIFY(PictureReader::pngChunksFit(png));
        // A chunk claiming more than the file holds, or cut inside its data: damaged.
        for (const QByteArray& bytes : {png.left(idat) + overlongChunk("zzZz", 900'000'000) + png.mid(idat),
                                        png.left(iend) + QByteArray("\0\0\0\x05tEXtab", 10),
                                        png.left(iend) + overlongChunk("tEXt", 0xFFFFFFFFu)}) {
            QVERIFY(!PictureReader::pngChunksFit(bytes));
            why.clear();
            QVERIFY(PictureReader::read(written(dir.filePath("damaged.png"), bytes), &why).isNull());
            QVERIFY2(why.contains(QStringLiteral("已损坏")), qPrintable(why));
        }
        // Large pictures are read scaled to the bound, a side keeping one pixel at least.
        const std::tuple<QSize, qint64, QSize> cases[] = {
            {QSize(4000, 4000), 16'000'000, QSize(4000, 4000)},  // at the bound
            {QSize(8000, 6000), 16'000'000, QSize(4618, 3464)},
            {QSize(), 16'000'000, QSize()},
            {QSize(20'000'000, 1), 16'000'000, QSize(16'000'000, 1)},
            {QSize(23'481'666, 1), 1, QSize(1, 1)}};
        for (const auto& [size, bound, expected] : cases) {
            QCOMPARE(PictureReader::readSize(size, bound), expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
