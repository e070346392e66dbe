#include "master/goods_editor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "data/app_context.h"
#include "data/data_module.h"
#include "master/goods_catalog.h"
#include "master/goods_rules.h"
#include "platform/errors.h"
#include "platform/picture_file.h"
#include "platform/picture_reader.h"
#include "platform/prompter.h"

// Pictures are named after the code, so a code must make a file name.
QString GoodsEditor::unsafeCodeText() {
    return GoodsRules::unsafeCodeText();
}

GoodsEditor::GoodsEditor(AppContext& context, GoodsCatalog& catalog, int mode)
    : m_context(context), m_catalog(catalog), m_mode(mode == New ? New : Existing) {
    showStoredPicture();
}

bool GoodsEditor::isModified() const {
    // A save that failed leaves its row edit pending in the dataset.
    return m_catalog.goods().isEditing() || m_catalog.goods().hasChanges() || m_pictureChanged;
}

bool GoodsEditor::validate() {
    Dataset& g = m_catalog.goods();
    Prompter& p = m_context.prompter();
    const QString code = g.value("code").toString().trimmed();
    if (code.isEmpty()) {
        p.inform(QStringLiteral("商品编码不能为空"));
        return false;
    }
    if (m_mode == New) {
        if (const QString refused = GoodsRules::refusedCode(code); !refused.isEmpty()) {
            p.inform(refused);
            return false;
        }
        QVariantMap params{{"code", code}};
        QString sql = QStringLiteral("select count(*) from goods where code=:code");
        if (!g.value("id").isNull()) {
            sql += QStringLiteral(" and id<>:id");
            params.insert("id", g.value("id"));
        }
        if (m_context.data().main().scalar(sql, params).toInt() > 0) {
            p.inform(QStringLiteral("该商品编码已经存在，请用其他编码"));
            return false;
        }
    }
    QVariantMap record;
    for (const char* field : {"Goods_name", "Goods_unit", "Goods_class", "Provide_corp"}) {
        record.insert(QLatin1String(field), g.value(QLatin1String(field)));
    }
    if (const QStringList missing = GoodsRules::missing(record, true); !missing.isEmpty()) {
        p.inform(GoodsRules::missingText(missing));
        return false;
    }
    if (m_catalog.hasChildClasses(g.value("Goods_class"))) {
        p.inform(QStringLiteral("只能选择最末一级的商品类别,请重新选择"));
        return false;
    }
    return true;
}

std::unique_ptr<QSaveFile> GoodsEditor::preparePicture() {
    const QString path = m_catalog.goods().value("PicturePath").toString();
    if (!m_pictureChanged || path.isEmpty() || m_picture.isNull()) {
        return nullptr;
    }
    const QString file = PictureFile::inFolder(m_context.PictureFolder, path);
    if (file.isEmpty()) {
        throw UserError(unsafeCodeText());
    }
    const QString folder = m_context.PictureFolder;
    if (!QDir().mkpath(folder)) {
        throw UserError(QStringLiteral("无法创建图片文件夹: %1").arg(QDir::toNativeSeparators(folder)));
    }
    // Always JPEG, named after the goods code, whatever was chosen. It is
    // written under a work name and takes its own only once the goods row
    // is saved: a failed save leaves the stored picture as it was and no
    // picture without its goods.
    auto out = std::make_unique<QSaveFile>(file);
    if (!out->open(QIODevice::WriteOnly) || !m_picture.save(out.get(), "JPG", 90)) {
        throw UserError(QStringLiteral("无法保存商品图片: %1").arg(QDir::toNativeSeparators(file)));
    }
    return out;
}

bool GoodsEditor::save() {
    if (!isModified()) {
        return true;
    }
    if (!validate()) {
        return false;
    }
    const std::unique_ptr<QSaveFile> picture = preparePicture();
    Dataset& g = m_catalog.goods();
    if (g.isEditing()) {
        g.post();  // written at once
    } else if (g.hasChanges()) {
        g.applyUpdates();  // what a failed save left pending
    }
    m_mode = Existing;  // the row is in the book, whatever the picture does
    if (picture && !picture->commit()) {
        throw UserError(QStringLiteral("无法保存商品图片: %1").arg(QDir::toNativeSeparators(picture->fileName())));
    }
    // A cleared picture's file goes once the goods no longer names it; a
    // picture chosen since was written over it under the same name.
    if (!picture && !m_pictureToRemove.isEmpty() && g.value("PicturePath").toString().isEmpty()) {
        QFile::remove(m_pictureToRemove);
    }
    m_pictureToRemove.clear();
    m_pictureChanged = false;
    m_mode = Existing;
    return true;
}

bool GoodsEditor::saveAndExit() {
    return save();
}

bool GoodsEditor::addNext() {
    if (isModified() && !save()) {
        return false;
    }
    m_catalog.startNewGoods();
    m_mode = New;
    showStoredPicture();
    return true;
}

bool GoodsEditor::close() {
    if (!isModified()) {
        return true;
    }
    return settleUnsavedChanges(
        m_context.prompter(), QStringLiteral("该商品内容已更改，是否要保存？"), [this] { return save(); },
        [this] {
            m_catalog.goods().cancel();
            m_catalog.goods().cancelUpdates();
            m_pictureChanged = false;
            m_pictureToRemove.clear();
        });
}

bool GoodsEditor::readyForPicture() {
    const QString code = m_catalog.goods().value("code").toString().trimmed();
    if (code.isEmpty()) {
        m_context.prompter().inform(QStringLiteral("选择图片前请填写商品编码"));
        return false;
    }
    if (!PictureFile::isSafeName(PictureFile::nameForCode(code))) {
        m_context.prompter().inform(unsafeCodeText());
        return false;
    }
    return true;
}

bool GoodsEditor::choosePicture(const QString& file) {
    if (!readyForPicture()) {
        return false;
    }
    Dataset& g = m_catalog.goods();
    const QString code = g.value("code").toString().trimmed();
    QString why;
    const QImage image = PictureReader::read(file, &why);
    if (image.isNull()) {
        // Not a picture, missing or unreadable: only the caption says so,
        // naming the size of a picture too large to read at all.
        m_caption = why.startsWith(QStringLiteral("图片太大")) ? why : QStringLiteral("找不到商品图片");
        return false;
    }
    g.setValue("PicturePath", PictureFile::nameForCode(code));
    m_picture = image;
    m_caption.clear();
    m_pictureChanged = true;
    return true;
}

bool GoodsEditor::clearPicture() {
    Dataset& g = m_catalog.goods();
    const QString path = g.value("PicturePath").toString();
    if (path.isEmpty()) {
        m_context.prompter().inform(QStringLiteral("该商品没有图片"));
        return false;
    }
    if (!m_context.prompter().askYesNo(QStringLiteral("确定要清除该图片吗？"))) {
        return false;
    }
    // The file goes with the save, so that dropping the change keeps it.
    // Only the picture the book holds for this goods goes: a name set by a
    // picture just chosen (perhaps under another goods' code, typed by
    // mistake) removes nothing, nor does a stored name that would lead out
    // of the folder.
    const QVariant id = g.value("id");
    if (!id.isNull()) {
        const QString stored = m_context.data()
                                   .main()
                                   .scalar(QStringLiteral("select PicturePath from goods where id=:id"), {{"id", id}})
                                   .toString();
        const QString file = PictureFile::inFolder(m_context.PictureFolder, stored);
        if (!stored.isEmpty() && !file.isEmpty()) {
            m_pictureToRemove = file;
        }
    }
    g.setValue("PicturePath", QVariant());
    m_picture = QImage();
    m_pictureChanged = true;
    m_caption = QStringLiteral("还没指定商品图片");
    return true;
}

QString GoodsEditor::storedPictureFile() const {
    const Dataset& g = m_catalog.goods();
    const QString path = g.currentRow() >= 0 ? g.value("PicturePath").toString() : QString();
    return PictureFile::inFolder(m_context.PictureFolder, path);
}

void GoodsEditor::showStoredPicture() {
    const QString path =
        m_catalog.goods().currentRow() >= 0 ? m_catalog.goods().value("PicturePath").toString() : QString();
    m_picture = QImage();
    if (path.isEmpty()) {
        m_caption = QStringLiteral("还没指定商品图片");
        return;
    }
    const QString file = storedPictureFile();
    if (!file.isEmpty()) {
        m_picture = PictureReader::read(file);
    }
    m_caption = m_picture.isNull() ? QStringLiteral("找不到商品图片") : QString();
}

bool GoodsEditor::chooseClass(const QVariant& cls) {
    if (m_catalog.hasChildClasses(cls)) {
        m_context.prompter().inform(QStringLiteral("只能选择最末一级的商品类别,请重新选择"));
        return false;
    }
    m_catalog.goods().setValue("Goods_class", cls);
    return true;
}

void GoodsEditor::setSupplier(const QString& code) {
    m_catalog.goods().setValue("Provide_corp", code);
}

void GoodsEditor::setUnit(const QString& code) {
    m_catalog.goods().setValue("Goods_unit", code);
}
