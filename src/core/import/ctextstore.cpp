#include "ctextstore.h"

#include "cimporterror.h"

#include <QCoreApplication>
#include <cstring>

// A text is its length (7 bits a byte, high bit: more follows) and its bytes. A handle is
// the block's index over OffsetBits and the text's offset in it; a text longer than a block
// gets a block of its own.

CTextStore::THandle CTextStore::AddUtf8(const QByteArray& utf8) {
    if (utf8.isEmpty())
        return 0;
    char prefix[5];
    int nPrefix = 0;
    for (std::uint32_t n = std::uint32_t(utf8.size());; n >>= 7) {
        prefix[nPrefix++] = char((n & 0x7F) | (n > 0x7F ? 0x80 : 0));
        if (n <= 0x7F)
            break;
    }
    const qsizetype nNeed = nPrefix + utf8.size();
    if (m_blocks.isEmpty() || m_blocks.last().size() + nNeed > qsizetype(BlockSize)) {
        if (m_blocks.size() >= (1 << (32 - OffsetBits)))
            throw CImportError(QCoreApplication::translate("CTextStore", "文件太大，无法读入。"));
        QByteArray block;
        block.reserve(std::max<qsizetype>(BlockSize, nNeed));
        // Offset 0 of the first block stays unused: handle 0 is the empty text.
        if (m_blocks.isEmpty())
            block.append('\0');
        m_blocks.append(block);
    }
    QByteArray& block = m_blocks.last();
    const THandle h = THandle(m_blocks.size() - 1) << OffsetBits | THandle(block.size());
    block.append(prefix, nPrefix);
    block.append(utf8);
    return h;
}

CTextStore::THandle CTextStore::Add(const QString& str) {
    return str.isEmpty() ? 0 : AddUtf8(str.toUtf8());
}

CTextStore::THandle CTextStore::AddShared(const QString& str) {
    if (str.isEmpty())
        return 0;
    const QByteArray utf8 = str.toUtf8();
    const size_t nHash = qHash(utf8);
    for (auto it = m_shared.constFind(nHash); it != m_shared.cend() && it.key() == nHash; ++it) {
        std::uint32_t nLength = 0;
        const char* p = Find(it.value(), nLength);
        if (nLength == std::uint32_t(utf8.size()) && std::memcmp(p, utf8.constData(), nLength) == 0)
            return it.value();
    }
    const THandle h = AddUtf8(utf8);
    m_shared.insert(nHash, h);
    return h;
}

const char* CTextStore::Find(THandle h, std::uint32_t& nLength) const {
    const QByteArray& block = m_blocks[qsizetype(h >> OffsetBits)];
    const auto* p =
        reinterpret_cast<const unsigned char*>(block.constData()) + (h & (BlockSize - 1));
    nLength = 0;
    for (int nShift = 0;; nShift += 7) {
        const unsigned char c = *p++;
        nLength |= std::uint32_t(c & 0x7F) << nShift;
        if (!(c & 0x80))
            break;
    }
    return reinterpret_cast<const char*>(p);
}

QString CTextStore::Text(THandle h) const {
    if (h == 0)
        return QString();
    std::uint32_t nLength = 0;
    const char* p = Find(h, nLength);
    return QString::fromUtf8(p, qsizetype(nLength));
}

bool CTextStore::Equals(THandle h, const QString& str) const {
    if (h == 0)
        return str.isEmpty();
    std::uint32_t nLength = 0;
    const char* p = Find(h, nLength);
    const QByteArray utf8 = str.toUtf8();
    return nLength == std::uint32_t(utf8.size()) && std::memcmp(p, utf8.constData(), nLength) == 0;
}
