#include <QTest>

#include "platform/pinyin_initials.h"

// The pinyin initials of names, as a clerk types them to find a record.
class TestPinyinInitials : public QObject {
    Q_OBJECT
private slots:
    // Common characters, several readings, characters beyond the BMP, letters and digits, and what is dropped.
    void initialsOfNames() {
        QCOMPARE(PinyinInitials::of("中空玻璃"), QString("zkbl"));
        QCOMPARE(PinyinInitials::of("不锈钢合页"), QString("bxghy"));
        QCOMPARE(PinyinInitials::of("绿色"), QString("ls"));  // ü is typed as u... and 绿 lǜ as l
        // Letters and digits stay (full-width ones as plain), in lower case; spaces and marks go.
        QCOMPARE(PinyinInitials::of("A4纸 ，Ｂ５-型"), QString("a4zb5x"));
        QCOMPARE(PinyinInitials::of(QString()), QString());
        QCOMPARE(PinyinInitials::of("（）—…"), QString());
        // Beyond the BMP: U+20000 (extension B) reads hē, U+2B5AF (extension C) fǔ.
        QCOMPARE(PinyinInitials::of(QString::fromUcs4(U"\U00020000\U0002B5AF")), QString("hf"));
        QCOMPARE(PinyinInitials::lettersOf(0x3007 /* 〇, no ideograph of the tables */), 0u);
        // 长 is cháng and zhǎng, 重 zhòng and chóng (and tóng): each letter may be typed.
        const quint32 chang = PinyinInitials::lettersOf(U'长');
        QVERIFY((chang >> ('c' - 'a') & 1) && (chang >> ('z' - 'a') & 1));
        QVERIFY(PinyinInitials::startsWith("长城宾馆", "cc") && PinyinInitials::startsWith("长城宾馆", "ZCB"));
        QVERIFY(!PinyinInitials::startsWith("长城宾馆", "cb"));
        QVERIFY(PinyinInitials::startsWith("中空玻璃", "") && PinyinInitials::startsWith("A4纸", "a4 z"));
        QVERIFY(!PinyinInitials::startsWith("中空", "zkb"));
    }
    // Every way a name may be typed, the customary one first, no more than asked for.
    void variantsOfSeveralReadings() {
        const QStringList changcheng = PinyinInitials::variants("长城");
        QCOMPARE(changcheng.first(), PinyinInitials::of("长城"));
        QVERIFY(changcheng.contains("cc") && changcheng.contains("zc"));
        QCOMPARE(PinyinInitials::variants("中空玻璃"), QStringList({"zkbl"}));
        QCOMPARE(PinyinInitials::variants(QString()), QStringList({QString()}));
        // 重重重重重: three readings each would make 243; the count stays within the bound.
        const QStringList many = PinyinInitials::variants("重重重重重", 8);
        QVERIFY(many.size() <= 8 && many.size() > 1);
        QCOMPARE(many.first(), PinyinInitials::of("重重重重重"));
        QCOMPARE(QSet<QString>(many.begin(), many.end()).size(), many.size());
    }
};

QTEST_MAIN(TestPinyinInitials)
#include "test_pinyin_initials.moc"
