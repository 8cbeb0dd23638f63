#include "csecret.h"

#include <sodium.h>

namespace CSecret {

void Wipe(QString& str) {
    QString::DataPointer& d = str.data_ptr();
    // Only a buffer of the heap has a header; the spare room after the text may hold an
    // earlier, longer text.
    if (d.d_ptr() && d.data())
        sodium_memzero(d.data(), size_t(d.size + d.freeSpaceAtEnd()) * sizeof(char16_t));
    str = QString();
}

void Wipe(QByteArray& bytes) {
    QByteArray::DataPointer& d = bytes.data_ptr();
    if (d.d_ptr() && d.data())
        sodium_memzero(d.data(), size_t(d.size + d.freeSpaceAtEnd()));
    bytes = QByteArray();
}

} // namespace CSecret
