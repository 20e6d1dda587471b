#pragma once

#include <QByteArray>
#include <QList>
#include <QRgb>
#include <QSizeF>
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QIODevice;

namespace svod::engine::exports {

class ZipWriter;

// How a cell looks; the workbook keeps one style record per distinct look.
struct XlsxStyle {
    QString fontName;
    double fontSize = 10;
    bool bold = false, italic = false, underline = false;
    QRgb color = 0xFF000000;
    QRgb fill = 0;   // 0: none
    int borders = 0; // FrameSide bits, thin lines
    int align = 0;   // Qt::Alignment bits
    bool wrap = false;
    QString numberFormat; // Excel's code ("#,##0.00", "dd.mm.yyyy"); empty: general
    bool operator==(const XlsxStyle&) const = default;
};

// A picture over the cells, anchored at a cell's top left.
struct XlsxPicture {
    int row = 0, column = 0;
    QSizeF sizePt;
    QByteArray png;
};

// An .xlsx package written as it goes: sheets one after the other, each row by row with rows and
// cells in ascending order. Numbers are given as decimal text, so they are stored exactly as given.
class XlsxWorkbook {
public:
    explicit XlsxWorkbook(QIODevice& device);
    ~XlsxWorkbook();

    int style(const XlsxStyle& style);

    // Widths in Excel's character units.
    void beginSheet(const QString& name, const QList<double>& columnWidths);
    // Starts the next row (0-based `row`, above every row written before) of `heightPt`.
    void beginRow(int row, double heightPt);
    void number(int column, std::string_view decimal, int style);
    void text(int column, const QString& text, int style);
    void blank(int column, int style);
    void merge(int row, int firstColumn, int lastColumn);
    void picture(const XlsxPicture& picture);
    void endSheet();
    // Styles, workbook and content types; the device then holds the whole file.
    void finish();

private:
    void cellStart(int column, int style, const char* type);
    void flushIfFull();
    void writeDrawing(int sheet);
    std::string stylesXml() const;

    std::unique_ptr<ZipWriter> zip_;
    QList<XlsxStyle> styles_;
    QStringList sheetNames_;
    QList<int> sheetsWithDrawings_;
    int pictureCount_ = 0;
    std::string buffer_;
    std::string rowName_; // the current row's number
    std::vector<std::string> columnNames_;
    bool rowOpen_ = false;
    QList<std::pair<int, std::pair<int, int>>> merges_;
    QList<XlsxPicture> pictures_;
};

// Column letters of a 0-based index: 0 -> "A", 26 -> "AA".
std::string columnName(int column);
// The shortest decimal text that reads back as `value` ("4290554.2", "-3", "1E-7" never: plain
// notation within Excel's range).
std::string shortestDecimal(double value);

} // namespace svod::engine::exports
