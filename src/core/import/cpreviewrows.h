#pragma once

#include "cstatement.h"
#include "records/ccategories.h"
#include "records/crecordkind.h"

#include <QString>
#include <QVector>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <iterator>

// The categories the rows of each kind may take: the importing user's own names offered for
// new records (CImporter::Sorts); the built-in lists until a preview sets them.
struct SImportSorts {
    QStringList income = CCategories::Income();
    QStringList outlay = CCategories::Outlay();
    const QStringList& Of(ERecordKind eKind) const {
        return eKind == ERecordKind::Income ? income : outlay;
    }
};

// One row of the import preview: what would be written, and whether it is ticked.
struct SPreviewRow {
    enum class EState { New, NotMoney, Duplicate };
    enum class EDuplicate { None, InFile, Imported, InBook };

    SStatementRow src;
    QString strSort;       // category (income / outlay rows)
    QString strAccount;    // the account moved; a transfer's source
    QString strTransferTo; // a transfer's destination
    QString strExtKey;     // what marks the row as imported
    EState eState = EState::New;
    EDuplicate eDuplicate = EDuplicate::None;
    QString strReason; // why a row is greyed, or (strRemark) why it is counted as it is
    // A QIF transfer to an account the book does not have: that account's name. The row is
    // an outlay or income until the user picks one of the book's accounts for it.
    QString strUnknownAccount;
    bool bTicked = true;
    bool bSortByHand = false; // the user chose the category; rules leave it alone
    bool bKeyKnown = false;   // its external id is stored already

    // Counterpart and goods, as stored.
    QString Note() const;
};

// The rows of the import preview, compact as a statement's rows are (which they take over
// without copying): per row a few small fields beside the statement's, texts in the same
// store, and what marks the row as imported as a 16-byte digest, its text made again when it
// is written. A whole SPreviewRow is made only for a row shown or edited. Copies share the
// rows until one is written.
class CPreviewRows {
public:
    using TDigest = std::array<unsigned char, 16>;

    CPreviewRows() = default;
    CPreviewRows(std::initializer_list<SPreviewRow> rows) {
        for (const SPreviewRow& r : rows)
            append(r);
    }

    int size() const { return m_src.size(); }
    bool isEmpty() const { return m_src.isEmpty(); }
    SPreviewRow at(int i) const;
    SPreviewRow operator[](int i) const { return at(i); }
    // A row made by hand (tools, tests): its key is strExtKey as given.
    void append(const SPreviewRow& row);
    // Writes an edited row back; texts that did not change are not stored again.
    void Set(int i, const SPreviewRow& row);

    // One field, without making the row.
    const CStatementRows& Source() const { return m_src; }
    // The categories the preview offered its rows.
    const SImportSorts& Sorts() const { return m_sorts; }
    void SetSorts(const SImportSorts& sorts) { m_sorts = sorts; }
    bool IsTicked(int i) const { return Fields(i).nFlags & TickedFlag; }
    void SetTicked(int i, bool b);
    SPreviewRow::EState State(int i) const { return SPreviewRow::EState(Fields(i).nState); }
    SPreviewRow::EDuplicate Duplicate(int i) const {
        return SPreviewRow::EDuplicate(Fields(i).nDuplicate);
    }
    bool IsKeyKnown(int i) const { return Fields(i).nFlags & KeyKnownFlag; }
    bool IsSortByHand(int i) const { return Fields(i).nFlags & SortByHandFlag; }
    bool HasUnknownAccount(int i) const { return Fields(i).hUnknownAccount != 0; }
    QString Sort(int i) const { return Text(Fields(i).hSort); }
    QString Account(int i) const { return Text(Fields(i).hAccount); }
    QString TransferTo(int i) const { return Text(Fields(i).hTransferTo); }
    QString Note(int i) const;
    // What marks the row as imported, as stored in the book, and its digest.
    QString Key(int i) const;
    const TDigest& Digest(int i) const { return Fields(i).digest; }
    static TDigest DigestOf(const QString& strKey);

    using const_iterator = CRowIterator<CPreviewRows, SPreviewRow>;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    SImportSorts m_sorts;
    friend class CImporter;
    // How the row's key is made: from its id, day, amount and counterpart; from all it says
    // and its place among the file's rows saying the same; or as given.
    enum class EKey : std::uint8_t { Identity, Content, Given };
    enum : std::uint8_t { TickedFlag = 1, SortByHandFlag = 2, KeyKnownFlag = 4 };
    struct SFields {
        TDigest digest = {};
        CTextStore::THandle hSort = 0;
        CTextStore::THandle hAccount = 0;
        CTextStore::THandle hTransferTo = 0;
        CTextStore::THandle hReason = 0;
        CTextStore::THandle hUnknownAccount = 0;
        CTextStore::THandle hGivenKey = 0;
        std::int32_t nOccurrence = 0; // Content: the how-many-th such row of the file
        std::uint8_t eKey = 0;
        std::uint8_t nKeyType = 0; // the row's type when the key was made
        std::uint8_t nState = 0;
        std::uint8_t nDuplicate = 0;
        std::uint8_t nFlags = TickedFlag;
    };
    static constexpr int BlockBits = 13;
    static constexpr int BlockRows = 1 << BlockBits;

    const SFields& Fields(int i) const { return m_blocks[i >> BlockBits][i & (BlockRows - 1)]; }
    SFields& Edit(int i) { return m_blocks[i >> BlockBits][i & (BlockRows - 1)]; }
    QString Text(CTextStore::THandle h) const { return m_src.Texts().Text(h); }
    CTextStore::THandle Shared(const QString& str) { return m_src.Texts().AddShared(str); }
    void SetShared(CTextStore::THandle& h, const QString& str);
    // Takes over a statement's rows, each a new ticked row with no key yet.
    void Adopt(CStatementRows&& src, EStatementFormat eFormat);
    QString ContentBase(int i) const; // the part of a Content key before the count
    // What earlier copies stored for a row with an id: the id and the direction only.
    QString LegacyKey(int i) const;

    CStatementRows m_src;
    QVector<QVector<SFields>> m_blocks;
    EStatementFormat m_eFormat = EStatementFormat::Csv;
};
