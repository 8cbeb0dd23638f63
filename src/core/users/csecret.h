#pragma once

#include <QByteArray>
#include <QString>

// Typed passwords do not outlive their use: Wipe() overwrites a string's characters where they
// are (every copy sharing that buffer with it), then empties it. Texts compiled into the
// program (literals) are read-only and are only emptied.
namespace CSecret {
void Wipe(QString& str);
void Wipe(QByteArray& bytes);
} // namespace CSecret
