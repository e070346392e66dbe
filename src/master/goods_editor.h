#pragma once

#include <QImage>
#include <QString>
#include <memory>

class AppContext;
class QSaveFile;
class GoodsCatalog;

// The rules of the goods editor on the list's current goods: validation,
// saving with the picture written as JPEG named after the code, the next
// new goods, the question on closing, choosing and clearing the picture,
// leaf classes only, and the supplier and unit picked elsewhere. As the
// picture is named after the code, a new code must be a plain file name;
// no picture file outside the picture folder is read, written or removed.
class GoodsEditor {
public:
    // Why a code cannot be a goods code: it could not name its picture file.
    static QString unsafeCodeText();

    enum Mode { New = 2, Existing = 3 };

    GoodsEditor(AppContext& context, GoodsCatalog& catalog, int mode);

    int mode() const { return m_mode; }
    bool codeEditable() const { return m_mode == New; }
    bool isModified() const;
    // Shows the first fault as the system's message; false when invalid.
    bool validate();
    // Validates and saves; false when invalid (nothing written).
    bool save();
    bool saveAndExit();
    bool addNext();
    // The window closes: asks when modified; false keeps it open.
    bool close();

    // Whether a picture can be chosen: the code is filled and can name the
    // picture file; says why not.
    bool readyForPicture();
    bool choosePicture(const QString& file);
    bool clearPicture();
    // The stored picture's file inside the picture folder, or empty.
    QString storedPictureFile() const;
    // What the picture box shows: the picture, or a caption.
    QImage picture() const { return m_picture; }
    QString pictureCaption() const { return m_caption; }
    bool pictureChanged() const { return m_pictureChanged; }
    void showStoredPicture();

    bool chooseClass(const QVariant& cls);
    void setSupplier(const QString& code);
    void setUnit(const QString& code);

private:
    std::unique_ptr<QSaveFile> preparePicture();

    AppContext& m_context;
    GoodsCatalog& m_catalog;
    int m_mode;
    QImage m_picture;
    QString m_caption;
    bool m_pictureChanged = false;
    // The stored picture a cleared picture leaves, removed once the goods
    // is saved without it (kept when the change is dropped).
    QString m_pictureToRemove;
};
