#include "master/goods_rules.h"

#include "platform/picture_file.h"

QString GoodsRules::unsafeCodeText() {
    return QStringLiteral(
        "商品编码不能用作图片文件名，请不要使用 \\ / : * ? \" < > | 和控制字符，"
        "也不要用 CON、NUL、COM1 等设备名");
}

QString GoodsRules::refusedCode(const QString& code) {
    return PictureFile::isSafeName(PictureFile::nameForCode(code)) ? QString() : unsafeCodeText();
}

QStringList GoodsRules::missing(const QVariantMap& record, bool withClass) {
    auto blank = [&record](const char* field) {
        const QVariant v = record.value(QLatin1String(field));
        return v.isNull() || v.toString().trimmed().isEmpty();
    };
    QStringList out;
    if (blank("Goods_name")) {
        out << QStringLiteral("商品名称");
    }
    if (blank("Goods_unit")) {
        out << QStringLiteral("计量单位");
    }
    if (withClass && record.value(QStringLiteral("Goods_class")).isNull()) {
        out << QStringLiteral("商品分类");
    }
    if (blank("Provide_corp")) {
        out << QStringLiteral("供应商");
    }
    return out;
}

QString GoodsRules::missingText(const QStringList& captions) {
    return QStringLiteral("请填写[%1]").arg(captions.join(QLatin1Char(',')));
}
