// Writes each CSV file the row benchmark compares (bench_make_rows_data) as a
// workbook too: FILE.xlsx through libxlsxwriter (in its constant-memory mode,
// strings inline, as large exports are written) and FILE.ods (content.xml
// deflated by libzip). Numbers become numbers, the date column dates with an
// ISO format, the rest text; the header row stays text.
//
// Usage: bench_make_workbooks FILE.csv...   (writes FILE.xlsx and FILE.ods beside)

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>
#include <xlsxwriter.h>
#include <zip.h>

namespace {

// The fields of one CSV record (RFC 4180, no line breaks inside quotes).
std::vector<std::string> fields(const std::string &line)
{
    std::vector<std::string> out(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"')
                out.back() += '"', ++i;
            else if (c == '"')
                quoted = false;
            else
                out.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

enum class Kind { Text, Number, Date };

bool isNumber(const std::string &v)
{
    char *end = nullptr;
    std::strtod(v.c_str(), &end);
    return !v.empty() && end == v.c_str() + v.size();
}

bool isDate(const std::string &v)
{
    return v.size() == 10 && v[4] == '-' && v[7] == '-' && isNumber(v.substr(0, 4))
           && isNumber(v.substr(5, 2)) && isNumber(v.substr(8, 2));
}

// What a cell is: the amount and quantity columns hold numbers and the date
// column dates, where their text is one (a changed cell may be any text).
Kind kindOf(std::size_t column, const std::string &v)
{
    if ((column == 4 || column == 5) && isNumber(v))
        return Kind::Number;
    return column == 6 && isDate(v) ? Kind::Date : Kind::Text;
}

bool writeXlsx(const std::vector<std::vector<std::string>> &rows, const std::string &path)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, "rows");
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const std::string &v = rows[r][c];
            const auto row = lxw_row_t(r);
            const auto col = lxw_col_t(c);
            if (v.empty())
                continue;
            if (r > 0 && kindOf(c, rows[r][c]) == Kind::Number) {
                worksheet_write_number(sheet, row, col, std::stod(v), nullptr);
            } else if (r > 0 && kindOf(c, rows[r][c]) == Kind::Date) {
                lxw_datetime d = {std::stoi(v.substr(0, 4)),
                                  std::stoi(v.substr(5, 2)),
                                  std::stoi(v.substr(8, 2)),
                                  0,
                                  0,
                                  0};
                worksheet_write_datetime(sheet, row, col, &d, date);
            } else {
                worksheet_write_string(sheet, row, col, v.c_str(), nullptr);
            }
        }
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

std::string xmlEscaped(const std::string &text)
{
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

bool writeOds(const std::vector<std::vector<std::string>> &rows, const std::string &path)
{
    const std::string contentPath = path + ".content.xml";
    {
        std::ofstream xml(contentPath, std::ios::binary | std::ios::trunc);
        xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content "
               "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
               "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
               "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
               "office:version=\"1.3\"><office:body><office:spreadsheet>"
               "<table:table table:name=\"rows\">";
        for (std::size_t r = 0; r < rows.size(); ++r) {
            xml << "<table:table-row>";
            for (std::size_t c = 0; c < rows[r].size(); ++c) {
                const std::string v = xmlEscaped(rows[r][c]);
                if (v.empty())
                    xml << "<table:table-cell/>";
                else if (r > 0 && kindOf(c, rows[r][c]) == Kind::Number)
                    xml << "<table:table-cell office:value-type=\"float\" office:value=\"" << v
                        << "\"><text:p>" << v << "</text:p></table:table-cell>";
                else if (r > 0 && kindOf(c, rows[r][c]) == Kind::Date)
                    xml << "<table:table-cell office:value-type=\"date\" office:date-value=\"" << v
                        << "\"><text:p>" << v << "</text:p></table:table-cell>";
                else
                    xml << "<table:table-cell office:value-type=\"string\"><text:p>" << v
                        << "</text:p></table:table-cell>";
            }
            xml << "</table:table-row>\n";
        }
        xml << "</table:table></office:spreadsheet></office:body></office:document-content>\n";
        if (!xml)
            return false;
    }
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    static const char type[] = "application/vnd.oasis.opendocument.spreadsheet";
    zip_source_t *mimetype = zip_source_buffer(archive, type, sizeof type - 1, 0);
    const zip_int64_t first = zip_file_add(archive, "mimetype", mimetype, 0);
    zip_set_file_compression(archive, zip_uint64_t(first), ZIP_CM_STORE, 0);
    // The manifest lists the package's parts, as OpenDocument asks and
    // office suites expect of a document they open.
    static const char manifest[] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest:manifest "
        "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
        "manifest:version=\"1.3\">\n"
        " <manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" "
        "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>\n"
        " <manifest:file-entry manifest:full-path=\"content.xml\" "
        "manifest:media-type=\"text/xml\"/>\n"
        "</manifest:manifest>\n";
    zip_source_t *content = zip_source_file(archive, contentPath.c_str(), 0, -1);
    zip_source_t *manifestSource = zip_source_buffer(archive, manifest, sizeof manifest - 1, 0);
    const bool added = zip_file_add(archive, "content.xml", content, 0) >= 0
                       && zip_file_add(archive, "META-INF/manifest.xml", manifestSource, 0) >= 0;
    const bool ok = zip_close(archive) == 0 && added;
    std::remove(contentPath.c_str());
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string csv = argv[i];
        std::ifstream in(csv, std::ios::binary);
        if (!in) {
            std::cerr << csv << ": cannot read\n";
            return 2;
        }
        std::vector<std::vector<std::string>> rows;
        for (std::string line; std::getline(in, line);)
            rows.push_back(fields(line));
        const std::string base = csv.substr(0, csv.rfind('.'));
        if (!writeXlsx(rows, base + ".xlsx") || !writeOds(rows, base + ".ods")) {
            std::cerr << base << ": cannot write the workbooks\n";
            return 2;
        }
        std::cout << "wrote " << base << ".xlsx and " << base << ".ods (" << rows.size()
                  << " rows)\n";
    }
    return 0;
}
