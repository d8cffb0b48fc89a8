#include "workbook_model.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "utf.h"

namespace automation {

std::string ColumnLetters(std::int32_t col) {
    std::string letters;
    std::int32_t n = col + 1;
    while (n > 0) {
        const std::int32_t rem = (n - 1) % 26;
        letters.insert(letters.begin(), static_cast<char>('A' + rem));
        n = (n - 1) / 26;
    }
    return letters;
}

namespace {

std::string CellAddress(std::int32_t row, std::int32_t col) {
    return "$" + ColumnLetters(col) + "$" + std::to_string(row + 1);
}

// Parses one cell reference such as "$AB$12" at text[*pos].
bool ParseCell(const std::string& text, std::size_t* pos, std::int32_t* row, std::int32_t* col) {
    std::size_t i = *pos;
    if (i < text.size() && text[i] == '$') ++i;
    std::int64_t c = 0;
    std::size_t letters = 0;
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i])) && letters < 4) {
        c = c * 26 + (std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1);
        ++i;
        ++letters;
    }
    if (letters == 0 || c > kSheetColumns) return false;
    if (i < text.size() && text[i] == '$') ++i;
    std::int64_t r = 0;
    std::size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 8) {
        r = r * 10 + (text[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || r < 1 || r > kSheetRows) return false;
    *row = static_cast<std::int32_t>(r - 1);
    *col = static_cast<std::int32_t>(c - 1);
    *pos = i;
    return true;
}

std::string AsciiLower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::string RectAddress(const CellRect& rect) {
    // Whole rows and whole columns are written as the spreadsheet program
    // writes them: "$1:$1048576", "$C:$C", "$2:$3".
    if (rect.WholeRows())
        return "$" + std::to_string(rect.top + 1) + ":$" + std::to_string(rect.bottom + 1);
    if (rect.WholeColumns())
        return "$" + ColumnLetters(rect.left) + ":$" + ColumnLetters(rect.right);
    std::string first = CellAddress(rect.top, rect.left);
    if (rect.top == rect.bottom && rect.left == rect.right) return first;
    return first + ":" + CellAddress(rect.bottom, rect.right);
}

bool ParseRectAddress(const std::string& text, CellRect* rect) {
    std::size_t pos = 0;
    std::int32_t r1 = 0, c1 = 0;
    if (!ParseCell(text, &pos, &r1, &c1)) return false;
    std::int32_t r2 = r1, c2 = c1;
    if (pos < text.size() && text[pos] == ':') {
        ++pos;
        if (!ParseCell(text, &pos, &r2, &c2)) return false;
    }
    if (pos != text.size()) return false;
    *rect = CellRect{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    return true;
}

std::size_t CellFormatHash::operator()(const CellFormat& f) const {
    std::size_t h = std::hash<std::string>()(f.fontName);
    const auto mix = [&h](std::size_t v) { h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
    mix(std::hash<double>()(f.fontSize));
    mix(f.bold);
    mix(static_cast<std::size_t>(f.fontColorIndex));
    mix(static_cast<std::size_t>(f.fillRgb));
    mix(static_cast<std::size_t>(f.hAlign));
    mix(static_cast<std::size_t>(f.vAlign));
    return h;
}

const Cell* SheetModel::Find(std::int32_t row, std::int32_t col) const {
    auto it = cells.find(Key(row, col));
    return it == cells.end() ? nullptr : &it->second;
}

std::uint32_t SheetModel::InheritedFormat(std::int32_t row, std::int32_t col) const {
    if (!rowFormats.empty()) {
        auto r = rowFormats.find(row);
        if (r != rowFormats.end()) return r->second;
    }
    if (!columnFormats.empty()) {
        auto c = columnFormats.find(col);
        if (c != columnFormats.end()) return c->second;
    }
    return 0;
}

std::uint32_t SheetModel::FormatAt(std::int32_t row, std::int32_t col) const {
    const Cell* cell = Find(row, col);
    return cell ? cell->format : InheritedFormat(row, col);
}

CellRect SheetModel::UsedRange() const {
    bool any = false;
    CellRect box;
    const auto grow = [&](const CellRect& r) {
        if (!any) {
            box = r;
            any = true;
            return;
        }
        box.top = std::min(box.top, r.top);
        box.left = std::min(box.left, r.left);
        box.bottom = std::max(box.bottom, r.bottom);
        box.right = std::max(box.right, r.right);
    };
    if (!cells.empty()) {
        // Rows come sorted; columns need a scan.
        const std::int32_t firstRow = RowOf(cells.begin()->first);
        const std::int32_t lastRow = RowOf(cells.rbegin()->first);
        std::int32_t left = kSheetColumns, right = -1;
        for (const auto& entry : cells) {
            const std::int32_t col = ColumnOf(entry.first);
            left = std::min(left, col);
            right = std::max(right, col);
        }
        grow(CellRect{firstRow, left, lastRow, right});
    }
    for (const CellRect& m : merges) grow(m);
    return any ? box : CellRect{};
}

const CellRect* SheetModel::MergeAt(std::int32_t row, std::int32_t col) const {
    for (const CellRect& m : merges) {
        if (m.Contains(row, col)) return &m;
    }
    return nullptr;
}

WorkbookModel::WorkbookModel() : formats_{CellFormat{}} { index_.emplace(CellFormat{}, 0); }

std::uint32_t WorkbookModel::Intern(const CellFormat& format) {
    auto it = index_.find(format);
    if (it != index_.end()) return it->second;
    const auto index = static_cast<std::uint32_t>(formats_.size());
    formats_.push_back(format);
    index_.emplace(format, index);
    return index;
}

void SetCellValue(SheetModel& sheet, std::int32_t row, std::int32_t col, const Cell& value) {
    const std::uint64_t key = SheetModel::Key(row, col);
    auto it = sheet.cells.find(key);
    if (value.kind == CellKind::Blank) {
        if (it == sheet.cells.end()) return;
        if (it->second.format == sheet.InheritedFormat(row, col)) {
            sheet.cells.erase(it);
            return;
        }
    } else if (it == sheet.cells.end()) {
        it = sheet.cells.emplace(key, Cell{}).first;
        it->second.format = sheet.InheritedFormat(row, col);
    }
    Cell& cell = it->second;
    cell.kind = value.kind;
    cell.number = value.number;
    cell.text = value.text;
}

Status ChangeFormat(WorkbookModel& book, SheetModel& sheet, const CellRect& rect,
                    const std::function<void(CellFormat&)>& change) {
    const bool wholeRows = rect.WholeRows();
    const bool wholeColumns = rect.WholeColumns();
    const std::int64_t lines =
        wholeColumns ? rect.right - rect.left + 1 : rect.bottom - rect.top + 1;
    if ((wholeRows || wholeColumns) ? lines > kMaxCellsPerCall : rect.Area() > kMaxCellsPerCall) {
        return Status::Error(hr::kException, "Formatting " + RectAddress(rect) + " would touch " +
                                                 std::to_string(rect.Area()) + " cells; at most " +
                                                 std::to_string(kMaxCellsPerCall) +
                                                 " cells can be formatted in one call.");
    }
    // Each old format maps to one new format; remember the answers so a big
    // range interns each distinct format once.
    std::unordered_map<std::uint32_t, std::uint32_t> mapped;
    const auto remap = [&](std::uint32_t old) {
        auto found = mapped.find(old);
        if (found != mapped.end()) return found->second;
        CellFormat f = book.Format(old);
        change(f);
        const std::uint32_t now = book.Intern(f);
        mapped.emplace(old, now);
        return now;
    };

    if (wholeRows || wholeColumns) {
        // Where a formatted row crosses a formatted column, a cell without a
        // format of its own shows the row's. Formatting one of them makes
        // such a cell show both changes, so the spreadsheet program gives it
        // a format of its own; note those crossings first.
        struct Crossing {
            std::int32_t row, col;
            std::uint32_t shown;
        };
        std::vector<Crossing> crossings;
        if (wholeRows != wholeColumns) {
            const std::int64_t count =
                wholeRows ? (rect.bottom - rect.top + 1) *
                                static_cast<std::int64_t>(sheet.columnFormats.size())
                          : (rect.right - rect.left + 1) *
                                static_cast<std::int64_t>(sheet.rowFormats.size());
            if (count > kMaxCellsPerCall) {
                return Status::Error(hr::kException, "Formatting " + RectAddress(rect) +
                                                         " would touch " + std::to_string(count) +
                                                         " crossing cells; at most " +
                                                         std::to_string(kMaxCellsPerCall) +
                                                         " cells can be formatted in one call.");
            }
            if (wholeRows) {
                for (std::int32_t row = rect.top; row <= rect.bottom; ++row) {
                    if (sheet.rowFormats.count(row)) continue;  // the row's format is shown
                    for (const auto& c : sheet.columnFormats) {
                        if (!sheet.Find(row, c.first))
                            crossings.push_back({row, c.first, c.second});
                    }
                }
            } else {
                for (const auto& r : sheet.rowFormats) {
                    for (std::int32_t col = rect.left; col <= rect.right; ++col) {
                        if (!sheet.Find(r.first, col))
                            crossings.push_back({r.first, col, r.second});
                    }
                }
            }
        }
        // Whole columns (the whole sheet too) become column formats, whole
        // rows row formats; on the whole sheet the row formats, which win
        // over column formats, change as well.
        if (wholeColumns) {
            for (std::int32_t col = rect.left; col <= rect.right; ++col) {
                auto it = sheet.columnFormats.find(col);
                const std::uint32_t now = remap(it == sheet.columnFormats.end() ? 0 : it->second);
                if (now == 0) {
                    if (it != sheet.columnFormats.end()) sheet.columnFormats.erase(it);
                } else {
                    sheet.columnFormats[col] = now;
                }
            }
        }
        if (wholeRows) {
            const auto setRow = [&](std::int32_t row, std::uint32_t old) {
                const std::uint32_t now = remap(old);
                if (now == 0) {
                    sheet.rowFormats.erase(row);
                } else {
                    sheet.rowFormats[row] = now;
                }
            };
            if (wholeColumns) {
                const std::vector<std::pair<std::int32_t, std::uint32_t>> existing(
                    sheet.rowFormats.begin(), sheet.rowFormats.end());
                for (const auto& r : existing) setRow(r.first, r.second);
            } else {
                for (std::int32_t row = rect.top; row <= rect.bottom; ++row) {
                    auto it = sheet.rowFormats.find(row);
                    setRow(row, it == sheet.rowFormats.end() ? 0 : it->second);
                }
            }
        }
        for (auto it = sheet.cells.begin(); it != sheet.cells.end();) {
            const std::int32_t row = SheetModel::RowOf(it->first);
            const std::int32_t col = SheetModel::ColumnOf(it->first);
            if (rect.Contains(row, col)) {
                it->second.format = remap(it->second.format);
                if (it->second.kind == CellKind::Blank &&
                    it->second.format == sheet.InheritedFormat(row, col)) {
                    it = sheet.cells.erase(it);
                    continue;
                }
            }
            ++it;
        }
        for (const Crossing& c : crossings) {
            const std::uint32_t now = remap(c.shown);
            if (now == sheet.InheritedFormat(c.row, c.col)) continue;
            Cell cell;
            cell.format = now;
            sheet.cells.emplace(SheetModel::Key(c.row, c.col), cell);
        }
        return Status::Ok();
    }

    for (std::int32_t row = rect.top; row <= rect.bottom; ++row) {
        auto it = sheet.cells.lower_bound(SheetModel::Key(row, rect.left));
        for (std::int32_t col = rect.left; col <= rect.right; ++col) {
            const std::uint64_t key = SheetModel::Key(row, col);
            const std::uint32_t inherited = sheet.InheritedFormat(row, col);
            if (it == sheet.cells.end() || it->first != key) {
                const std::uint32_t now = remap(inherited);
                if (now == inherited) continue;
                it = sheet.cells.emplace_hint(it, key, Cell{});
                it->second.format = now;
            } else {
                it->second.format = remap(it->second.format);
                if (it->second.format == inherited && it->second.kind == CellKind::Blank) {
                    it = sheet.cells.erase(it);
                    continue;
                }
            }
            ++it;
        }
    }
    return Status::Ok();
}

namespace {

void MergeOne(SheetModel& sheet, CellRect area) {
    // Absorb every merged area the new one touches; growing may touch more.
    bool grew = true;
    while (grew) {
        grew = false;
        for (auto it = sheet.merges.begin(); it != sheet.merges.end(); ++it) {
            if (it->Intersects(area)) {
                area.top = std::min(area.top, it->top);
                area.left = std::min(area.left, it->left);
                area.bottom = std::max(area.bottom, it->bottom);
                area.right = std::max(area.right, it->right);
                sheet.merges.erase(it);
                grew = true;
                break;
            }
        }
    }
    if (area.top == area.bottom && area.left == area.right) return;
    for (std::int32_t row = area.top; row <= area.bottom; ++row) {
        auto it = sheet.cells.lower_bound(SheetModel::Key(row, area.left));
        while (it != sheet.cells.end() && SheetModel::RowOf(it->first) == row &&
               SheetModel::ColumnOf(it->first) <= area.right) {
            const bool topLeft = row == area.top && SheetModel::ColumnOf(it->first) == area.left;
            if (!topLeft && it->second.kind != CellKind::Blank) {
                it->second.kind = CellKind::Blank;
                it->second.text.clear();
                it->second.number = 0;
                if (it->second.format ==
                    sheet.InheritedFormat(row, SheetModel::ColumnOf(it->first))) {
                    it = sheet.cells.erase(it);
                    continue;
                }
            }
            ++it;
        }
    }
    sheet.merges.push_back(area);
}

}  // namespace

void MergeCells(SheetModel& sheet, const CellRect& rect, bool across) {
    if (!across) {
        MergeOne(sheet, rect);
        return;
    }
    for (std::int32_t row = rect.top; row <= rect.bottom; ++row) {
        MergeOne(sheet, CellRect{row, rect.left, row, rect.right});
    }
}

std::string SheetNameProblem(const WorkbookModel& book, const SheetModel* sheet,
                             const std::string& name) {
    if (name.empty()) return "A sheet name cannot be empty.";
    const std::size_t length = Utf16Length(name);
    if (length > kMaxSheetName) {
        return "The sheet name \"" + name + "\" has " + std::to_string(length) +
               " characters; a sheet name may have at most 31.";
    }
    for (char c : name) {
        if (c == ':' || c == '\\' || c == '/' || c == '?' || c == '*' || c == '[' || c == ']') {
            return "The sheet name \"" + name + "\" contains '" + std::string(1, c) +
                   "'; a sheet name may not contain any of : \\ / ? * [ ].";
        }
    }
    if (name.front() == '\'' || name.back() == '\'') {
        return "The sheet name \"" + name + "\" begins or ends with an apostrophe.";
    }
    const std::string lowered = AsciiLower(name);
    if (lowered == "history") return "\"History\" is reserved and cannot name a sheet.";
    for (const auto& other : book.sheets) {
        if (other.get() == sheet || other->deleted) continue;
        if (AsciiLower(other->name) == lowered) {
            return "The workbook already has a sheet named \"" + other->name + "\".";
        }
    }
    return std::string();
}

}  // namespace automation
