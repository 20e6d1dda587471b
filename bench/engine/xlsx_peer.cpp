// Writes the cells report_bench's table report gives in .xlsx straight with libxlsxwriter, with the
// same formats, row heights, column widths and merged title lines: xlsx_peer ROWS OUT.xlsx
// Prints the seconds the library took; the texts are made before the clock starts, as report_bench
// makes its table before preparing.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <xlsxwriter.h>

namespace {

constexpr int Columns = 12;
constexpr int TextColumns = 4;

lxw_format* arialFormat(lxw_workbook* book, double size, lxw_format_alignments align) {
    lxw_format* f = workbook_add_format(book);
    format_set_font_name(f, "Arial");
    format_set_font_size(f, size);
    format_set_font_color(f, LXW_COLOR_BLACK);
    format_set_align(f, align);
    format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: xlsx_peer ROWS OUT.xlsx\n");
        return 64;
    }
    const int rows = std::atoi(argv[1]);
    std::vector<std::string> texts;
    texts.reserve(size_t(rows) * TextColumns);
    std::vector<double> numbers;
    numbers.reserve(size_t(rows) * (Columns - TextColumns));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < Columns; ++c) {
            if (c < TextColumns)
                texts.push_back("Текст " + std::to_string(r) + "-" + std::to_string(c));
            else // the report's "N,DD" read back: exact integers divided, as the text parses
                numbers.push_back(double((r * 7 + c) * 100 + r % 100) / 100.0);
        }
    std::vector<std::string> headers;
    for (int c = 0; c < Columns; ++c)
        headers.push_back("Колонка " + std::to_string(c));

    const auto start = std::chrono::steady_clock::now();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(argv[2], &options);
    if (!book) {
        std::fprintf(stderr, "cannot create %s\n", argv[2]);
        return 1;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Отчет");
    // In the order the report's cells first need them, so that the style indexes match.
    lxw_format* title = arialFormat(book, 8.25, LXW_ALIGN_LEFT);
    format_set_bold(title);
    lxw_format* header = arialFormat(book, 7, LXW_ALIGN_CENTER);
    format_set_bold(header);
    format_set_font_color(header, 0xFFFFFF);
    format_set_bg_color(header, 0x000080);
    format_set_border(header, LXW_BORDER_THIN);
    lxw_format* text = arialFormat(book, 8.25, LXW_ALIGN_LEFT);
    format_set_border(text, LXW_BORDER_THIN);
    lxw_format* number = arialFormat(book, 8.25, LXW_ALIGN_RIGHT);
    format_set_border(number, LXW_BORDER_THIN);
    format_set_num_format(number, "0.00");

    // The report's column widths: the text columns are widened to their longest values.
    for (lxw_col_t c = 0; c < Columns; ++c)
        // 71 and 61 pixels, less the 5 of padding libxlsxwriter adds.
        worksheet_set_column(sheet, c, c, c < 4 ? 66 / 7.0 : 56 / 7.0, nullptr);
    const double bodyHeight = 13.21875, headerHeight = 12.0625;
    // The title's two lines, each merged over the table.
    worksheet_set_row(sheet, 0, bodyHeight, nullptr);
    worksheet_merge_range(sheet, 0, 0, 0, Columns - 1, "Оборотная ведомость", title);
    worksheet_set_row(sheet, 1, bodyHeight, nullptr);
    worksheet_merge_range(sheet, 1, 0, 1, Columns - 1, "", title);
    worksheet_set_row(sheet, 2, headerHeight, nullptr);
    for (lxw_col_t c = 0; c < Columns; ++c)
        worksheet_write_string(sheet, 2, c, headers[c].c_str(), header);
    size_t t = 0, n = 0;
    for (int r = 0; r < rows; ++r) {
        const lxw_row_t row = lxw_row_t(r + 3);
        worksheet_set_row(sheet, row, bodyHeight, nullptr);
        for (lxw_col_t c = 0; c < Columns; ++c) {
            if (c < TextColumns)
                worksheet_write_string(sheet, row, c, texts[t++].c_str(), text);
            else
                worksheet_write_number(sheet, row, c, numbers[n++], number);
        }
    }
    if (workbook_close(book) != LXW_NO_ERROR) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("rows=%d cells=%d write_s=%.3f\n", rows, 1 + 1 + Columns + rows * Columns, seconds);
    return 0;
}
