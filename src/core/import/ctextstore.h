#pragma once

#include <QByteArray>
#include <QMultiHash>
#include <QString>
#include <QVector>
#include <cstdint>

// The texts of many rows in a few big blocks, as UTF-8: a row keeps a 32-bit handle per
// text instead of a QString of its own (a QString costs its 24 bytes, a heap block and
// UTF-16). Copies share the blocks until one of them adds a text.
class CTextStore {
public:
    using THandle = std::uint32_t; // 0: the empty text

    // A text stored anew each time (goods, order numbers: one per row).
    THandle Add(const QString& str);
    // A text stored once however often it comes (counterparts, categories, reasons).
    THandle AddShared(const QString& str);
    QString Text(THandle h) const;
    bool Equals(THandle h, const QString& str) const;

private:
    static constexpr int OffsetBits = 20;
    static constexpr std::uint32_t BlockSize = 1u << OffsetBits; // 1 MiB
    THandle AddUtf8(const QByteArray& utf8);
    const char* Find(THandle h, std::uint32_t& nLength) const;

    QVector<QByteArray> m_blocks;
    QMultiHash<size_t, THandle> m_shared; // hash of a shared text's bytes → its handle
};
