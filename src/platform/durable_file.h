#pragma once

#include <QString>

// Makes a finished file last through a power cut: its bytes and its name
// (the folder entry a rename made) are forced to the disk. Where the system
// offers no way to do so, it does nothing.
namespace DurableFile {
// True when the file and its folder were synced (or nothing could be done);
// false when the system refused.
bool sync(const QString& file);
}  // namespace DurableFile
