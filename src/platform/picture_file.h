#pragma once

#include <QString>

// Goods pictures lie flat in the picture folder, one JPEG per goods, named
// after its code. The code is typed by a user and the stored name
// (PicturePath) comes from a book that an older version, another program or
// another workstation wrote; neither is trusted as a path. A name is used
// only when it is a plain file name that every platform reads the same way,
// so that a picture is never read, written or removed outside the folder.
class PictureFile {
public:
    // The picture file name of a goods code.
    static QString nameForCode(const QString& code);
    // Whether `name` is a plain file name: not empty, not "." or "..", no
    // path separator, drive letter or stream (":"), no control character or
    // NUL, none of * ? " < > |, no trailing dot or space, and not a Windows
    // device name (CON, NUL, COM1, ...).
    static bool isSafeName(const QString& name);
    // The file inside `folder` that a stored PicturePath names, or an empty
    // string when it names none or would lead out of the folder (also
    // through a symbolic link of that name).
    static QString inFolder(const QString& folder, const QString& storedPath);
};
