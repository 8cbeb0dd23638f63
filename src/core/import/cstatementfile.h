#pragma once

#include "cstatement.h"
#include "ctextdecoder.h"

#include <QDateTime>
#include <QString>

// One statement file as the import wizard sees it: loaded once, recognised by its content
// (the choice can be changed), then read in the chosen format.
class CStatementFile {
public:
    // Reads the file and recognises its format; of a workbook, the sheet it was
    // saved showing, or sheet nSheet. Throws CImportError.
    void Load(const QString& strPath,
              CTextDecoder::EEncoding eEncoding = CTextDecoder::EEncoding::Auto, int nSheet = -1);

    QString Path() const { return m_strPath; }
    EStatementFormat Detected() const { return m_eDetected; }
    bool IsXlsx() const { return m_bXlsx; }
    CTextDecoder::EEncoding Encoding() const { return m_eEncoding; }
    // The first HeadRows rows of a CSV or an XLSX sheet (empty for QIF and OFX).
    const TTable& Table() const { return m_table; }
    static constexpr int HeadRows = 300;
    // A workbook's sheet names and the one read.
    const QStringList& Sheets() const { return m_sheets; }
    int Sheet() const { return m_nSheet; }
    // Where the column names of a CSV of unknown layout probably are (-1: not found).
    int GuessedHeader() const;
    // A first guess at a CSV of unknown layout (CTableReader::GuessLayout).
    bool GuessLayout(int& nHeader, SColumnMapping& mapping) const;
    // The header's cells as one text: the key under which a column mapping is remembered.
    QString LayoutKey(int nHeader) const;

    // The rows in the given format. Throws CImportError naming the line and what is wrong.
    // A CSV read without a usable mapping is read with the guessed one (bGuessedLayout).
    // nHeader -1 with a mapping: the file has no header row.
    SStatement Read(EStatementFormat eFormat, const SColumnMapping& mapping = {},
                    int nHeader = -1) const;

    static QString FormatName(EStatementFormat eFormat);

private:
    QString m_strPath;
    // A CSV, a sheet or a QIF is read from the file again each time its rows are asked for;
    // its size and time tell whether it changed since.
    qint64 m_nSize = 0;
    QDateTime m_modified;
    TTable m_table;
    QStringList m_sheets;
    int m_nSheet = 0;
    bool m_bXlsx = false;
    bool m_bQif = false;
    bool m_bTableParsed = false;
    QString m_strTableError; // why the text is no CSV table, told when a table is asked for
    CTextDecoder::EEncoding m_eEncoding = CTextDecoder::EEncoding::Auto;
    EStatementFormat m_eDetected = EStatementFormat::Csv;
};
