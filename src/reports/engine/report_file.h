#pragma once

#include <QString>

struct PreparedReport;

// The prepared-report file (.rmp): the pages with their fonts named and
// their pictures inside, to reopen without the database.
class ReportFile {
public:
    static constexpr quint32 kMagic = 0x4F524D50;  // "ORMP"
    // Version 2 adds the band instances after the pages.
    static constexpr quint16 kVersion = 2;

    static bool save(const PreparedReport& report, const QString& file, QString* error);
    // A damaged, truncated or newer file is refused with a message.
    static bool load(const QString& file, PreparedReport* out, QString* error);
};
