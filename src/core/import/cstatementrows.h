#pragma once

#include "ctextstore.h"
#include "records/crecordkind.h"

#include <QDate>
#include <QString>
#include <QVector>
#include <cstdint>
#include <iterator>
#include <limits>
#include <utility>

// Why a row of the file moves no money for the user.
enum class ENotMoney {
    None,
    Closed,       // a closed, failed or cancelled trade
    Neutral,      // the file gives no direction (不计收支, 其他, /)
    OwnMove,      // between the user's own balances
    Refund,       // a refund that moved nothing: its payment was closed, or is not counted
    Zero,         // amount 0
    Balance,      // an opening balance
    TransferHalf, // the second half of a transfer the file lists in both accounts
    SameAccount,  // a transfer whose two sides are one account of the book
};

// One money move as the file states it, before the book is looked at.
struct SStatementRow {
    enum class EType { Income, Outlay, Transfer };

    int nLine = 0; // where it stands in the file
    QDate date;
    QString strTime; // the time of day as printed ("12:30:45"), "" when the file has none
    EType eType = EType::Outlay;
    std::int64_t nCents = 0;   // always positive
    QString strCounterpart;    // 交易对方 / payee
    QString strGoods;          // 商品说明 / memo
    QString strCategory;       // the file's own category, when it has one of ours
    QString strAppCategory;    // the payment app's own 交易分类 / 交易类型
    QString strExtId;          // order number / FITID; "" when the file has none
    QString strOrderId;        // the merchant's order number: a refund keeps its payment's
    QString strAccount;        // the file's account block (QIF, OFX); "" when none
    QString strTransferTo;     // Transfer: the other account, as the file names it
    bool bTransferOut = false; // Transfer: the money leaves strAccount for strTransferTo
    bool bRefund = false;
    bool bNeutral = false; // the file gives no direction
    // Not money moving for this user (closed trade, neutral row, own-balance move): why,
    // as a sentence for the preview.
    ENotMoney eNotMoney = ENotMoney::None;
    QString strNotMoney;
    QString strRemark; // why a counted row is counted as it is (a refund paired with its payment)

    ERecordKind Kind() const {
        return eType == EType::Income ? ERecordKind::Income : ERecordKind::Outlay;
    }
};

// Walks rows that are made whole one at a time, on demand (TRows::at).
template <class TRows, class TRow> class CRowIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = TRow;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = TRow;
    CRowIterator(const TRows* p, int i) : m_p(p), m_i(i) {}
    TRow operator*() const { return m_p->at(m_i); }
    CRowIterator& operator++() {
        ++m_i;
        return *this;
    }
    bool operator!=(const CRowIterator& o) const { return m_i != o.m_i; }
    bool operator==(const CRowIterator& o) const { return m_i == o.m_i; }

private:
    const TRows* m_p;
    int m_i;
};

// The rows of a statement, compact: a row's fixed fields (day number, cents, small enums) in
// blocks of rows, its texts as handles into one store where repeated texts stand once. A row
// is made whole (SStatementRow) only when asked for; a 50 MB statement's 360,000 rows take
// about a fifth of what they took as QStrings. Copies share blocks and texts until written.
class CStatementRows {
public:
    enum EText {
        Time,
        Counterpart,
        Goods,
        Category,
        AppCategory,
        ExtId,
        OrderId,
        Account,
        TransferTo,
        NotMoneyText,
        Remark,
        TextCount
    };

    CStatementRows() = default;
    CStatementRows(const CStatementRows&) = default;
    CStatementRows& operator=(const CStatementRows&) = default;
    // A moved-from list is empty.
    CStatementRows(CStatementRows&& o) noexcept
        : m_blocks(std::exchange(o.m_blocks, {})), m_nRows(std::exchange(o.m_nRows, 0)),
          m_texts(std::exchange(o.m_texts, {})) {}
    CStatementRows& operator=(CStatementRows&& o) noexcept {
        m_blocks = std::exchange(o.m_blocks, {});
        m_nRows = std::exchange(o.m_nRows, 0);
        m_texts = std::exchange(o.m_texts, {});
        return *this;
    }

    int size() const { return m_nRows; }
    bool isEmpty() const { return m_nRows == 0; }
    void append(const SStatementRow& row);
    CStatementRows& operator<<(const SStatementRow& row) {
        append(row);
        return *this;
    }
    SStatementRow at(int i) const;
    SStatementRow operator[](int i) const { return at(i); }
    SStatementRow first() const { return at(0); }
    SStatementRow last() const { return at(m_nRows - 1); }
    void clear() { *this = CStatementRows(); }
    // Writes a whole row back; texts that did not change are not stored again.
    void Set(int i, const SStatementRow& row);

    // One field, without making the row.
    int Line(int i) const { return Fields(i).nLine; }
    QDate Date(int i) const;
    SStatementRow::EType Type(int i) const { return SStatementRow::EType(Fields(i).nType); }
    std::int64_t Cents(int i) const { return Fields(i).nCents; }
    ENotMoney NotMoney(int i) const { return ENotMoney(Fields(i).nNotMoney); }
    bool IsRefund(int i) const { return Fields(i).nFlags & RefundFlag; }
    bool IsNeutral(int i) const { return Fields(i).nFlags & NeutralFlag; }
    QString Text(int i, EText e) const { return m_texts.Text(Fields(i).texts[e]); }
    bool HasText(int i, EText e) const { return Fields(i).texts[e] != 0; }
    bool TextEquals(int i, EText e, const QString& str) const {
        return m_texts.Equals(Fields(i).texts[e], str);
    }

    void SetType(int i, SStatementRow::EType e) { Edit(i).nType = std::uint8_t(e); }
    void SetNeutral(int i, bool b);
    void SetNotMoney(int i, ENotMoney e, const QString& strWhy);
    void SetText(int i, EText e, const QString& str);

    // The texts, for a preview that keeps its own beside the rows'.
    CTextStore& Texts() { return m_texts; }
    const CTextStore& Texts() const { return m_texts; }

    using const_iterator = CRowIterator<CStatementRows, SStatementRow>;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_nRows}; }

private:
    enum : std::uint8_t { RefundFlag = 1, NeutralFlag = 2, TransferOutFlag = 4 };
    struct SFields {
        std::int64_t nCents = 0;
        std::int64_t nDay = 0; // Julian day; InvalidDay when the row has no valid date
        std::int32_t nLine = 0;
        CTextStore::THandle texts[TextCount] = {};
        std::uint8_t nType = 0;
        std::uint8_t nNotMoney = 0;
        std::uint8_t nFlags = 0;
    };
    static constexpr std::int64_t InvalidDay = std::numeric_limits<std::int64_t>::min();
    static constexpr int BlockBits = 13; // 8,192 rows a block: no big block is ever moved
    static constexpr int BlockRows = 1 << BlockBits;

    const SFields& Fields(int i) const { return m_blocks[i >> BlockBits][i & (BlockRows - 1)]; }
    SFields& Edit(int i) { return m_blocks[i >> BlockBits][i & (BlockRows - 1)]; }
    static void SetFixed(SFields& f, const SStatementRow& row);
    CTextStore::THandle Store(EText e, const QString& str);

    QVector<QVector<SFields>> m_blocks;
    int m_nRows = 0;
    CTextStore m_texts;
};
