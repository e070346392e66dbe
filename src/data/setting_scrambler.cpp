#include "data/setting_scrambler.h"

QString UnscrambleSetting(const QString& stored) {
    QString plain;
    int k = 0;
    for (int i = 0; i < stored.size(); i += 2) {
        ++k;
        const int code = (stored.at(i).unicode() - k) & 0xFF;
        plain.append(QChar(code));
    }
    return plain;
}

QString ScrambleSetting(const QString& plain, const QString& filler) {
    QString out;
    for (int i = 0; i < plain.size(); ++i) {
        const int code = (plain.at(i).unicode() + i + 1) & 0xFF;
        out.append(QChar(code));
        out.append(filler.isEmpty() ? QChar('x') : filler.at(i % filler.size()));
    }
    return out;
}
