#include "excel_server.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include "palette.h"
#include "utf.h"
#include "variant.h"
#include "workbook_file.h"

namespace automation {

namespace {

using namespace excel;

constexpr unsigned kMethod = 1u << 0;
constexpr unsigned kGet = 1u << 1;
constexpr unsigned kPut = 1u << 2;

unsigned KindBit(InvokeKind kind) {
    switch (kind) {
        case InvokeKind::Method:
            return kMethod;
        case InvokeKind::PropertyGet:
            return kGet;
        case InvokeKind::PropertyPut:
            return kPut;
    }
    return 0;
}

std::string Hex(DispId id) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(id));
    return buffer;
}

std::string AsciiLower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct Member {
    DispId id;
    const char* name;
    unsigned kinds;
};

struct BookState {
    WorkbookModel model;
    bool open = true;
};

struct AppState {
    bool visible = false;
    bool quit = false;
    int nextBookNumber = 1;
    std::vector<std::shared_ptr<BookState>> books;  // open ones, in opening order
};

// The arguments of one call, with the checks every member needs.
class Args {
  public:
    Args(const std::vector<Variant>& values, const char* type, const char* member)
        : values_(values), type_(type), member_(member) {}

    std::size_t size() const { return values_.size(); }
    const Variant& operator[](std::size_t i) const {
        static const Variant missing = Variant::Missing();
        return i < values_.size() ? values_[i] : missing;
    }
    bool Has(std::size_t i) const { return i < values_.size() && !values_[i].IsMissing(); }

    Status Fail(HResult code, const std::string& text) const {
        return Status::Error(code, std::string(type_) + "." + member_ + ": " + text);
    }
    Status Count(std::size_t least, std::size_t most) const {
        if (values_.size() < least || values_.size() > most) {
            return Fail(
                hr::kBadParamCount,
                "takes " +
                    (least == most ? std::to_string(least)
                                   : std::to_string(least) + " to " + std::to_string(most)) +
                    " argument(s), got " + std::to_string(values_.size()) + ".");
        }
        for (std::size_t i = 0; i < least; ++i) {
            if (values_[i].IsMissing()) {
                return Fail(hr::kParamNotFound,
                            "argument " + std::to_string(i + 1) + " is required.");
            }
        }
        return Status::Ok();
    }
    Status Int(std::size_t i, std::int32_t* out) const {
        if (!Has(i))
            return Fail(hr::kParamNotFound, "argument " + std::to_string(i + 1) + " is required.");
        if (!(*this)[i].ToInt32(out)) return Mismatch(i, "a whole number");
        return Status::Ok();
    }
    Status Double(std::size_t i, double* out) const {
        if (!Has(i))
            return Fail(hr::kParamNotFound, "argument " + std::to_string(i + 1) + " is required.");
        if (!(*this)[i].ToDouble(out)) return Mismatch(i, "a number");
        return Status::Ok();
    }
    Status Bool(std::size_t i, bool* out) const {
        if (!Has(i))
            return Fail(hr::kParamNotFound, "argument " + std::to_string(i + 1) + " is required.");
        if (!(*this)[i].ToBool(out)) return Mismatch(i, "true or false");
        return Status::Ok();
    }
    // A text for the workbook: malformed UTF-8 repaired.
    Status Text(std::size_t i, std::string* out) const {
        if (Status s = Path(i, out); !s.ok()) return s;
        *out = SanitizeUtf8(*out);
        return Status::Ok();
    }
    // A file name: its bytes as given, since file names are bytes.
    Status Path(std::size_t i, std::string* out) const {
        if (!Has(i))
            return Fail(hr::kParamNotFound, "argument " + std::to_string(i + 1) + " is required.");
        if (!(*this)[i].ToText(out)) return Mismatch(i, "a text");
        return Status::Ok();
    }

  private:
    Status Mismatch(std::size_t i, const char* wanted) const {
        return Fail(hr::kTypeMismatch, "argument " + std::to_string(i + 1) + " (" +
                                           (*this)[i].Describe() + ") is not " + wanted + ".");
    }

    const std::vector<Variant>& values_;
    const char* type_;
    const char* member_;
};

// Shared by every object of the server: member lookup, kind check, liveness.
class ServerObject : public Dispatch {
  public:
    explicit ServerObject(std::shared_ptr<AppState> app) : app_(std::move(app)) {}

    Status Invoke(DispId id, InvokeKind kind, const std::vector<Variant>& args,
                  Variant* result) final {
        Variant scratch;
        Variant* out = result ? result : &scratch;
        *out = Variant();
        const Member* member = nullptr;
        for (const Member& m : Members()) {
            if (m.id == id) member = &m;
        }
        if (!member) {
            return Status::Error(hr::kMemberNotFound,
                                 std::string(TypeName()) +
                                     " has no member with dispatch identifier " + Hex(id) + ".");
        }
        if ((member->kinds & KindBit(kind)) == 0) {
            return Status::Error(hr::kMemberNotFound,
                                 std::string(TypeName()) + "." + member->name + " (" + Hex(id) +
                                     ") cannot be called as " + InvokeKindName(kind) + ".");
        }
        Status alive = Alive();
        if (!alive.ok()) {
            alive.text = std::string(TypeName()) + "." + member->name + ": " + alive.text;
            return alive;
        }
        Status status = Call(id, kind, Args(args, TypeName(), member->name), out);
        if (!status.ok()) *out = Variant();
        return status;
    }

    std::string MemberName(DispId id) const override {
        for (const Member& m : Members()) {
            if (m.id == id) return m.name;
        }
        return std::string();
    }

  protected:
    virtual const std::vector<Member>& Members() const = 0;
    virtual Status Call(DispId id, InvokeKind kind, const Args& args, Variant* result) = 0;
    virtual Status Alive() const {
        if (app_->quit) return Status::Error(hr::kDisconnected, "the application has quit.");
        return Status::Ok();
    }

    std::shared_ptr<AppState> app_;
};

// Objects that live inside one workbook.
class BookObject : public ServerObject {
  public:
    BookObject(std::shared_ptr<AppState> app, std::shared_ptr<BookState> book)
        : ServerObject(std::move(app)), book_(std::move(book)) {}
    const std::shared_ptr<BookState>& book() const { return book_; }

  protected:
    Status Alive() const override {
        Status status = ServerObject::Alive();
        if (status.ok() && !book_->open) {
            status = Status::Error(hr::kDisconnected, "the workbook has been closed.");
        }
        return status;
    }
    std::shared_ptr<BookState> book_;
};

// Objects that live on one worksheet.
class SheetObject : public BookObject {
  public:
    SheetObject(std::shared_ptr<AppState> app, std::shared_ptr<BookState> book,
                std::shared_ptr<SheetModel> sheet)
        : BookObject(std::move(app), std::move(book)), sheet_(std::move(sheet)) {}
    const std::shared_ptr<SheetModel>& sheet() const { return sheet_; }

  protected:
    Status Alive() const override {
        Status status = BookObject::Alive();
        if (status.ok() && sheet_->deleted) {
            status = Status::Error(hr::kDisconnected, "the worksheet has been deleted.");
        }
        return status;
    }
    std::shared_ptr<SheetModel> sheet_;
};

// ---------------------------------------------------------------- values

Status ValueToCell(const Args& args, std::size_t i, Cell* cell) {
    const Variant& v = args[i];
    *cell = Cell{};
    switch (v.type()) {
        case VarType::Empty:
            return Status::Ok();
        case VarType::Bstr: {
            std::string text = SanitizeUtf8(v.bstr());
            if (Utf16Length(text) > kMaxCellText) {
                return args.Fail(hr::kException,
                                 "a cell holds at most 32767 characters; the text has " +
                                     std::to_string(Utf16Length(text)) + ".");
            }
            cell->kind = CellKind::Text;
            cell->text = std::move(text);
            return Status::Ok();
        }
        case VarType::I2:
        case VarType::I4:
            cell->kind = CellKind::Number;
            cell->number = v.i4();
            return Status::Ok();
        case VarType::R8:
            if (!std::isfinite(v.r8()))
                return args.Fail(hr::kTypeMismatch, "the number is not finite.");
            cell->kind = CellKind::Number;
            cell->number = v.r8();
            return Status::Ok();
        case VarType::Bool:
            cell->kind = CellKind::Boolean;
            cell->number = v.boolean() ? 1 : 0;
            return Status::Ok();
        default:
            return args.Fail(hr::kTypeMismatch, v.Describe() + " cannot be put into a cell.");
    }
}

Variant CellToValue(const Cell* cell) {
    if (!cell) return Variant();
    switch (cell->kind) {
        case CellKind::Text:
            return Variant::Bstr(cell->text);
        case CellKind::Number:
            return Variant::R8(cell->number);
        case CellKind::Boolean:
            return Variant::Bool(cell->number != 0);
        case CellKind::Blank:
            break;
    }
    return Variant();
}

bool HAlignFromConstant(std::int32_t value, HAlign* out) {
    switch (value) {
        case kAlignGeneral:
            *out = HAlign::General;
            return true;
        case kAlignLeft:
            *out = HAlign::Left;
            return true;
        case kAlignCenter:
            *out = HAlign::Center;
            return true;
        case kAlignRight:
            *out = HAlign::Right;
            return true;
        case kAlignFill:
            *out = HAlign::Fill;
            return true;
        case kAlignJustify:
            *out = HAlign::Justify;
            return true;
        case kAlignCenterAcrossSelection:
            *out = HAlign::CenterAcross;
            return true;
        case kAlignDistributed:
            *out = HAlign::Distributed;
            return true;
        default:
            return false;
    }
}

std::int32_t HAlignConstant(HAlign a) {
    switch (a) {
        case HAlign::General:
            return kAlignGeneral;
        case HAlign::Left:
            return kAlignLeft;
        case HAlign::Center:
            return kAlignCenter;
        case HAlign::Right:
            return kAlignRight;
        case HAlign::Fill:
            return kAlignFill;
        case HAlign::Justify:
            return kAlignJustify;
        case HAlign::CenterAcross:
            return kAlignCenterAcrossSelection;
        case HAlign::Distributed:
            return kAlignDistributed;
    }
    return kAlignGeneral;
}

bool VAlignFromConstant(std::int32_t value, VAlign* out) {
    switch (value) {
        case kAlignTop:
            *out = VAlign::Top;
            return true;
        case kAlignCenter:
            *out = VAlign::Center;
            return true;
        case kAlignBottom:
            *out = VAlign::Bottom;
            return true;
        case kAlignJustify:
            *out = VAlign::Justify;
            return true;
        case kAlignDistributed:
            *out = VAlign::Distributed;
            return true;
        default:
            return false;
    }
}

std::int32_t VAlignConstant(VAlign a) {
    switch (a) {
        case VAlign::Top:
            return kAlignTop;
        case VAlign::Center:
            return kAlignCenter;
        case VAlign::Bottom:
            return kAlignBottom;
        case VAlign::Justify:
            return kAlignJustify;
        case VAlign::Distributed:
            return kAlignDistributed;
    }
    return kAlignBottom;
}

// ---------------------------------------------------------------- Font, Interior

// Font and Interior both stand for the format of every cell of one range.
class RangeFormatObject : public SheetObject {
  public:
    RangeFormatObject(std::shared_ptr<AppState> app, std::shared_ptr<BookState> book,
                      std::shared_ptr<SheetModel> sheet, CellRect rect)
        : SheetObject(std::move(app), std::move(book), std::move(sheet)), rect_(rect) {}

  protected:
    const CellFormat& TopLeftFormat() const {
        return book_->model.Format(sheet_->FormatAt(rect_.top, rect_.left));
    }
    Status Change(const Args& args, const std::function<void(CellFormat&)>& change) {
        Status status = ChangeFormat(book_->model, *sheet_, rect_, change);
        if (!status.ok()) return args.Fail(status.code, status.text);
        return status;
    }
    CellRect rect_;
};

class FontObject : public RangeFormatObject {
  public:
    using RangeFormatObject::RangeFormatObject;
    const char* TypeName() const override { return "Font"; }

  protected:
    const std::vector<Member>& Members() const override {
        static const std::vector<Member> members = {
            {kName, "Name", kGet | kPut},
            {kSize, "Size", kGet | kPut},
            {kBold, "Bold", kGet | kPut},
            {kColorIndex, "ColorIndex", kGet | kPut},
        };
        return members;
    }

    Status Call(DispId id, InvokeKind kind, const Args& args, Variant* result) override {
        if (kind == InvokeKind::PropertyGet) {
            if (Status s = args.Count(0, 0); !s.ok()) return s;
            const CellFormat& f = TopLeftFormat();
            switch (id) {
                case kName:
                    *result = Variant::Bstr(f.fontName.empty() ? "Arial" : f.fontName);
                    break;
                case kSize:
                    *result = Variant::R8(f.fontSize > 0 ? f.fontSize : 10);
                    break;
                case kBold:
                    *result = Variant::Bool(f.bold);
                    break;
                default:
                    *result = Variant::I4(f.fontColorIndex == 0 ? kColorIndexAutomatic
                                                                : f.fontColorIndex);
            }
            return Status::Ok();
        }
        if (Status s = args.Count(1, 1); !s.ok()) return s;
        switch (id) {
            case kName: {
                std::string name;
                if (Status s = args.Text(0, &name); !s.ok()) return s;
                if (name.empty() || Utf16Length(name) > 31) {
                    return args.Fail(hr::kException, "a font name has 1 to 31 characters.");
                }
                return Change(args, [&](CellFormat& f) { f.fontName = name; });
            }
            case kSize: {
                double size = 0;
                if (Status s = args.Double(0, &size); !s.ok()) return s;
                if (size < 1 || size > 409)
                    return args.Fail(hr::kException, "a font size is 1 to 409 points.");
                size = std::round(size * 20) / 20;  // the file formats keep twentieths of a point
                return Change(args, [&](CellFormat& f) { f.fontSize = size; });
            }
            case kBold: {
                bool bold = false;
                if (Status s = args.Bool(0, &bold); !s.ok()) return s;
                return Change(args, [&](CellFormat& f) { f.bold = bold; });
            }
            default: {
                std::int32_t index = 0;
                if (Status s = args.Int(0, &index); !s.ok()) return s;
                if (index == kColorIndexAutomatic) index = 0;
                if (index != 0 && (index < 1 || index > kPaletteSize)) {
                    return args.Fail(hr::kException,
                                     "a colour index is 1 to 56 or automatic (-4105), not " +
                                         std::to_string(index) + ".");
                }
                return Change(args, [&](CellFormat& f) { f.fontColorIndex = index; });
            }
        }
    }
};

class InteriorObject : public RangeFormatObject {
  public:
    using RangeFormatObject::RangeFormatObject;
    const char* TypeName() const override { return "Interior"; }

  protected:
    const std::vector<Member>& Members() const override {
        static const std::vector<Member> members = {
            {kColor, "Color", kGet | kPut},
            {kColorIndex, "ColorIndex", kGet | kPut},
        };
        return members;
    }

    Status Call(DispId id, InvokeKind kind, const Args& args, Variant* result) override {
        if (kind == InvokeKind::PropertyGet) {
            if (Status s = args.Count(0, 0); !s.ok()) return s;
            const CellFormat& f = TopLeftFormat();
            if (id == kColor) {
                // No fill shows as white.
                *result = Variant::R8(f.fillRgb < 0
                                          ? 0xFFFFFF
                                          : RgbToColorValue(static_cast<std::uint32_t>(f.fillRgb)));
            } else {
                *result = Variant::I4(
                    f.fillRgb < 0 ? kColorIndexNone
                                  : NearestColorIndex(static_cast<std::uint32_t>(f.fillRgb)));
            }
            return Status::Ok();
        }
        if (Status s = args.Count(1, 1); !s.ok()) return s;
        std::int32_t rgb = -1;
        if (id == kColor) {
            double value = 0;
            if (Status s = args.Double(0, &value); !s.ok()) return s;
            if (value < 0 || value > 0xFFFFFF || value != std::floor(value)) {
                return args.Fail(hr::kException,
                                 "a colour value is a whole number from 0 to 16777215.");
            }
            rgb = static_cast<std::int32_t>(ColorValueToRgb(static_cast<std::uint32_t>(value)));
        } else {
            std::int32_t index = 0;
            if (Status s = args.Int(0, &index); !s.ok()) return s;
            if (index == kColorIndexNone || index == kColorIndexAutomatic) {
                rgb = -1;
            } else if (index >= 1 && index <= kPaletteSize) {
                rgb = static_cast<std::int32_t>(PaletteRgb(index));
            } else {
                return args.Fail(
                    hr::kException,
                    "a colour index is 1 to 56, automatic (-4105) or none (-4142), not " +
                        std::to_string(index) + ".");
            }
        }
        return Change(args, [rgb](CellFormat& f) { f.fillRgb = rgb; });
    }
};

// ---------------------------------------------------------------- Range

enum class RangeShape { Cells, Columns, Rows };

class RangeObject : public SheetObject {
  public:
    RangeObject(std::shared_ptr<AppState> app, std::shared_ptr<BookState> book,
                std::shared_ptr<SheetModel> sheet, CellRect rect, RangeShape shape)
        : SheetObject(std::move(app), std::move(book), std::move(sheet)),
          rect_(rect),
          shape_(shape) {}
    const char* TypeName() const override { return "Range"; }
    const CellRect& rect() const { return rect_; }

  protected:
    const std::vector<Member>& Members() const override {
        static const std::vector<Member> members = {
            {kItem, "Item", kGet | kPut},
            {kValue, "Value", kGet | kPut},
            {kAddress, "Address", kGet},
            {kColumnWidth, "ColumnWidth", kGet | kPut},
            {kRowHeight, "RowHeight", kGet | kPut},
            {kMerge, "Merge", kMethod},
            {kHorizontalAlignment, "HorizontalAlignment", kGet | kPut},
            {kVerticalAlignment, "VerticalAlignment", kGet | kPut},
            {kFont, "Font", kGet},
            {kInterior, "Interior", kGet},
        };
        return members;
    }

    Status Call(DispId id, InvokeKind kind, const Args& args, Variant* result) override {
        switch (id) {
            case kItem:
                return kind == InvokeKind::PropertyGet ? ItemGet(args, result) : ItemPut(args);
            case kValue:
                return kind == InvokeKind::PropertyGet ? ValueGet(args, result)
                                                       : ValuePut(args, 0, rect_);
            case kAddress:
                if (Status s = args.Count(0, 0); !s.ok()) return s;
                *result = Variant::Bstr(RectAddress(rect_));
                return Status::Ok();
            case kColumnWidth:
                return kind == InvokeKind::PropertyGet ? ColumnWidthGet(args, result)
                                                       : ColumnWidthPut(args);
            case kRowHeight:
                return kind == InvokeKind::PropertyGet ? RowHeightGet(args, result)
                                                       : RowHeightPut(args);
            case kMerge:
                return Merge(args);
            case kHorizontalAlignment:
            case kVerticalAlignment:
                return kind == InvokeKind::PropertyGet ? AlignmentGet(id, args, result)
                                                       : AlignmentPut(id, args);
            case kFont:
                if (Status s = args.Count(0, 0); !s.ok()) return s;
                *result = Variant::Object(std::make_shared<FontObject>(app_, book_, sheet_, rect_));
                return Status::Ok();
            default:  // kInterior
                if (Status s = args.Count(0, 0); !s.ok()) return s;
                *result =
                    Variant::Object(std::make_shared<InteriorObject>(app_, book_, sheet_, rect_));
                return Status::Ok();
        }
    }

  private:
    // The range that Item(args[0], args[1]) names; `indexes` is how many of
    // the arguments are indexes (one or two).
    Status Locate(const Args& args, std::size_t indexes, CellRect* target,
                  RangeShape* shape) const {
        std::int32_t first = 0;
        if (Status s = args.Int(0, &first); !s.ok()) return s;
        if (indexes == 2 && args.Has(1)) {
            std::int32_t second = 0;
            if (Status s = args.Int(1, &second); !s.ok()) return s;
            // Relative to the top-left cell; may reach outside the range.
            const std::int64_t row = static_cast<std::int64_t>(rect_.top) + first - 1;
            const std::int64_t col = static_cast<std::int64_t>(rect_.left) + second - 1;
            if (row < 0 || row >= kSheetRows || col < 0 || col >= kSheetColumns) {
                return args.Fail(hr::kBadIndex,
                                 "cell (" + std::to_string(first) + ", " + std::to_string(second) +
                                     ") of " + RectAddress(rect_) + " lies outside the sheet.");
            }
            const auto r = static_cast<std::int32_t>(row);
            const auto c = static_cast<std::int32_t>(col);
            *target = CellRect{r, c, r, c};
            *shape = RangeShape::Cells;
            return Status::Ok();
        }
        if (first < 1) {
            return args.Fail(hr::kBadIndex, "index " + std::to_string(first) + " is below 1.");
        }
        const std::int64_t index = first - 1;
        std::int64_t row = 0, col = 0;
        switch (shape_) {
            case RangeShape::Columns:
                col = rect_.left + index;
                if (col >= kSheetColumns) break;
                *target = CellRect{0, static_cast<std::int32_t>(col), kSheetRows - 1,
                                   static_cast<std::int32_t>(col)};
                *shape = RangeShape::Columns;
                return Status::Ok();
            case RangeShape::Rows:
                row = rect_.top + index;
                if (row >= kSheetRows) break;
                *target = CellRect{static_cast<std::int32_t>(row), 0,
                                   static_cast<std::int32_t>(row), kSheetColumns - 1};
                *shape = RangeShape::Rows;
                return Status::Ok();
            case RangeShape::Cells: {
                const std::int64_t width = rect_.right - rect_.left + 1;
                row = rect_.top + index / width;
                col = rect_.left + index % width;
                if (row >= kSheetRows) break;
                *target = CellRect{static_cast<std::int32_t>(row), static_cast<std::int32_t>(col),
                                   static_cast<std::int32_t>(row), static_cast<std::int32_t>(col)};
                *shape = RangeShape::Cells;
                return Status::Ok();
            }
        }
        return args.Fail(hr::kBadIndex,
                         "index " + std::to_string(first) + " lies outside the sheet.");
    }

    Status ItemGet(const Args& args, Variant* result) {
        if (Status s = args.Count(1, 2); !s.ok()) return s;
        CellRect target;
        RangeShape shape = RangeShape::Cells;
        if (Status s = Locate(args, 2, &target, &shape); !s.ok()) return s;
        *result =
            Variant::Object(std::make_shared<RangeObject>(app_, book_, sheet_, target, shape));
        return Status::Ok();
    }

    Status ItemPut(const Args& args) {
        if (Status s = args.Count(2, 3); !s.ok()) return s;
        CellRect target;
        RangeShape shape = RangeShape::Cells;
        if (Status s = Locate(args, args.size() - 1, &target, &shape); !s.ok()) return s;
        return ValuePut(args, args.size() - 1, target);
    }

    Status ValueGet(const Args& args, Variant* result) const {
        if (Status s = args.Count(0, 0); !s.ok()) return s;
        if (rect_.Area() != 1) {
            return args.Fail(hr::kException,
                             "reading the values of several cells at once is not supported.");
        }
        *result = CellToValue(sheet_->Find(rect_.top, rect_.left));
        return Status::Ok();
    }

    Status ValuePut(const Args& args, std::size_t valueIndex, const CellRect& target) {
        if (valueIndex == 0) {
            if (Status s = args.Count(1, 1); !s.ok()) return s;
        }
        Cell cell;
        if (Status s = ValueToCell(args, valueIndex, &cell); !s.ok()) return s;
        if (target.Area() > kMaxCellsPerCall) {
            return args.Fail(hr::kException, "at most " + std::to_string(kMaxCellsPerCall) +
                                                 " cells can be set in one call.");
        }
        for (std::int32_t row = target.top; row <= target.bottom; ++row) {
            for (std::int32_t col = target.left; col <= target.right; ++col) {
                SetCellValue(*sheet_, row, col, cell);
            }
        }
        return Status::Ok();
    }

    Status ColumnWidthGet(const Args& args, Variant* result) const {
        if (Status s = args.Count(0, 0); !s.ok()) return s;
        auto it = sheet_->columnWidths.find(rect_.left);
        *result =
            Variant::R8(it == sheet_->columnWidths.end() ? sheet_->standardWidth : it->second);
        return Status::Ok();
    }

    Status ColumnWidthPut(const Args& args) {
        if (Status s = args.Count(1, 1); !s.ok()) return s;
        double width = 0;
        if (Status s = args.Double(0, &width); !s.ok()) return s;
        if (width < 0 || width > 255)
            return args.Fail(hr::kException, "a column width is 0 to 255 characters.");
        if (rect_.WholeRows()) {
            sheet_->standardWidth = width;
            sheet_->columnWidths.clear();
            return Status::Ok();
        }
        for (std::int32_t col = rect_.left; col <= rect_.right; ++col)
            sheet_->columnWidths[col] = width;
        return Status::Ok();
    }

    Status RowHeightGet(const Args& args, Variant* result) const {
        if (Status s = args.Count(0, 0); !s.ok()) return s;
        auto it = sheet_->rowHeights.find(rect_.top);
        const double standard = sheet_->standardHeight > 0 ? sheet_->standardHeight : 12.75;
        *result = Variant::R8(it == sheet_->rowHeights.end() ? standard : it->second);
        return Status::Ok();
    }

    Status RowHeightPut(const Args& args) {
        if (Status s = args.Count(1, 1); !s.ok()) return s;
        double height = 0;
        if (Status s = args.Double(0, &height); !s.ok()) return s;
        if (height < 0 || height > 409.5)
            return args.Fail(hr::kException, "a row height is 0 to 409.5 points.");
        height = std::round(height * 20) / 20;  // kept in twips
        if (rect_.WholeColumns()) {
            sheet_->standardHeight = height;
            sheet_->rowHeights.clear();
            return Status::Ok();
        }
        for (std::int32_t row = rect_.top; row <= rect_.bottom; ++row)
            sheet_->rowHeights[row] = height;
        return Status::Ok();
    }

    Status Merge(const Args& args) {
        if (Status s = args.Count(0, 1); !s.ok()) return s;
        bool across = false;
        if (args.Has(0)) {
            if (Status s = args.Bool(0, &across); !s.ok()) return s;
        }
        if (rect_.Area() > kMaxCellsPerCall) {
            return args.Fail(hr::kException, "at most " + std::to_string(kMaxCellsPerCall) +
                                                 " cells can be merged in one call.");
        }
        MergeCells(*sheet_, rect_, across);
        return Status::Ok();
    }

    Status AlignmentGet(DispId id, const Args& args, Variant* result) const {
        if (Status s = args.Count(0, 0); !s.ok()) return s;
        const CellFormat& f = book_->model.Format(sheet_->FormatAt(rect_.top, rect_.left));
        *result = Variant::I4(id == kHorizontalAlignment ? HAlignConstant(f.hAlign)
                                                         : VAlignConstant(f.vAlign));
        return Status::Ok();
    }

    Status AlignmentPut(DispId id, const Args& args) {
        if (Status s = args.Count(1, 1); !s.ok()) return s;
        std::int32_t value = 0;
        if (Status s = args.Int(0, &value); !s.ok()) return s;
        std::function<void(CellFormat&)> change;
        if (id == kHorizontalAlignment) {
            HAlign a;
            if (!HAlignFromConstant(value, &a)) {
                return args.Fail(hr::kException,
                                 std::to_string(value) + " is not a horizontal alignment.");
            }
            change = [a](CellFormat& f) { f.hAlign = a; };
        } else {
            VAlign a;
            if (!VAlignFromConstant(value, &a)) {
                return args.Fail(hr::kException,
                                 std::to_string(value) + " is not a vertical alignment.");
            }
            change = [a](CellFormat& f) { f.vAlign = a; };
        }
        Status status = ChangeFormat(book_->model, *sheet_, rect_, change);
        if (!status.ok()) return args.Fail(status.code, status.text);
        return status;
    }

    CellRect rect_;
    RangeShape shape_;
};

// ---------------------------------------------------------------- Worksheet

class WorksheetObject : public SheetObject {
  public:
    using SheetObject::SheetObject;
    const char* TypeName() const override { return "Worksheet"; }

  protected:
    const std::vector<Member>& Members() const override {
        static const std::vector<Member> members = {
            {kName, "Name", kGet | kPut},    {kDelete, "Delete", kMethod}, {kCells, "Cells", kGet},
            {kColumns, "Columns", kGet},     {kRows, "Rows", kGet},        {kRange, "Range", kGet},
            {kUsedRange, "UsedRange", kGet},
        };
        return members;
    }

    Status Call(DispId id, InvokeKind kind, const Args& args, Variant* result) override {
        const CellRect all{0, 0, kSheetRows - 1, kSheetColumns - 1};
        switch (id) {
            case kName:
                if (kind == InvokeKind::PropertyGet) {
                    if (Status s = args.Count(0, 0); !s.ok()) return s;
                    *result = Variant::Bstr(sheet_->name);
                    return Status::Ok();
                }
                return Rename(args);
            case kDelete:
                return Delete(args);
            case kCells:
                return MakeRange(args, all, RangeShape::Cells, result);
            case kColumns:
                return MakeRange(args, all, RangeShape::Columns, result);
            case kRows:
                return MakeRange(args, all, RangeShape::Rows, result);
            case kRange:
                return RangeGet(args, result);
            default:  // kUsedRange
                return MakeRange(args, sheet_->UsedRange(), RangeShape::Cells, result);
        }
    }

  private:
    Status MakeRange(const Args& args, const CellRect& rect, RangeShape shape, Variant* result) {
        if (Status s = args.Count(0, 0); !s.ok()) return s;
        *result = Variant::Object(std::make_shared<RangeObject>(app_, book_, sheet_, rect, shape));
        return Status::Ok();
    }

    Status Rename(const Args& args) {
        if (Status s = args.Count(1, 1); !s.ok()) return s;
        if (args[0].type() != VarType::Bstr) {
            return args.Fail(hr::kTypeMismatch,
                             "a sheet name is a text, not " + args[0].Describe() + ".");
        }
        const std::string name = SanitizeUtf8(args[0].bstr());
        const std::string problem = SheetNameProblem(book_->model, sheet_.get(), name);
        if (!problem.empty()) return args.Fail(hr::kException, problem);
        sheet_->name = name;
        return Status::Ok();
    }

    Status Delete(const Args& args) {
        if (Status s = args.Count(0, 0); !s.ok()) return s;
        auto& sheets = book_->model.sheets;
        if (sheets.size() <= 1) {
            return args.Fail(hr::kException, "a workbook must keep at least one worksheet; \"" +
                                                 sheet_->name + "\" is the last one.");
        }
        sheets.erase(std::remove(sheets.begin(), sheets.end(), sheet_), sheets.end());
        sheet_->deleted = true;
        return Status::Ok();
    }

    // Cell1 and Cell2 are each an address text or a Range of this sheet; the
    // result spans both.
    Status RangeGet(const Args& args, Variant* result) {
        if (Status s = args.Count(1, 2); !s.ok()) return s;
        CellRect rects[2];
        std::size_t count = 0;
        for (std::size_t i = 0; i < 2; ++i) {
            if (!args.Has(i)) continue;
            const Variant& v = args[i];
            if (v.type() == VarType::Bstr) {
                if (!ParseRectAddress(v.bstr(), &rects[count])) {
                    return args.Fail(hr::kException,
                                     "\"" + SanitizeUtf8(v.bstr()) + "\" is not a cell reference.");
                }
            } else if (auto* range = dynamic_cast<RangeObject*>(v.object().get())) {
                if (range->sheet() != sheet_) {
                    return args.Fail(hr::kException, "argument " + std::to_string(i + 1) +
                                                         " is a range of another sheet.");
                }
                rects[count] = range->rect();
            } else {
                return args.Fail(hr::kTypeMismatch,
                                 "argument " + std::to_string(i + 1) + " (" + v.Describe() +
                                     ") is neither a cell reference nor a Range.");
            }
            ++count;
        }
        CellRect box = rects[0];
        if (count == 2) {
            box.top = std::min(box.top, rects[1].top);
            box.left = std::min(box.left, rects[1].left);
            box.bottom = std::max(box.bottom, rects[1].bottom);
            box.right = std::max(box.right, rects[1].right);
        }
        *result = Variant::Object(
            std::make_shared<RangeObject>(app_, book_, sheet_, box, RangeShape::Cells));
        return Status::Ok();
    }
};

// ---------------------------------------------------------------- Worksheets

class WorksheetsObject : public BookObject {
  public:
    using BookObject::BookObject;
    const char* TypeName() const override { return "Worksheets"; }

  protected:
    const std::vector<Member>& Members() const override {
        static const std::vector<Member> members = {
            {kItem, "Item", kGet},
            {kCount, "Count", kGet},
        };
        return members;
    }

    Status Call(DispId id, InvokeKind, const Args& args, Variant* result) override {
        const auto& sheets = book_->model.sheets;
        if (id == kCount) {
            if (Status s = args.Count(0, 0); !s.ok()) return s;
            *result = Variant::I4(static_cast<std::int32_t>(sheets.size()));
            return Status::Ok();
        }
        if (Status s = args.Count(1, 1); !s.ok()) return s;
        std::shared_ptr<SheetModel> found;
        if (args[0].type() == VarType::Bstr) {
            const std::string wanted = AsciiLower(args[0].bstr());
            for (const auto& sheet : sheets) {
                if (AsciiLower(sheet->name) == wanted) found = sheet;
            }
            if (!found) {
                return args.Fail(hr::kBadIndex, "there is no worksheet named \"" +
                                                    SanitizeUtf8(args[0].bstr()) + "\".");
            }
        } else {
            std::int32_t index = 0;
            if (Status s = args.Int(0, &index); !s.ok()) return s;
            if (index < 1 || static_cast<std::size_t>(index) > sheets.size()) {
                return args.Fail(hr::kBadIndex, "there is no worksheet " + std::to_string(index) +
                                                    "; the workbook has " +
                                                    std::to_string(sheets.size()) + ".");
            }
            found = sheets[static_cast<std::size_t>(index) - 1];
        }
        *result = Variant::Object(std::make_shared<WorksheetObject>(app_, book_, found));
        return Status::Ok();
    }
};

// ---------------------------------------------------------------- Workbook

class WorkbookObject : public BookObject {
  public:
    using BookObject::BookObject;
    const char* TypeName() const override { return "Workbook"; }

  protected:
    const std::vector<Member>& Members() const override {
        static const std::vector<Member> members = {
            {kName, "Name", kGet},
            {kWorksheets, "Worksheets", kGet},
            {kSaveAs, "SaveAs", kMethod},
            {kClose, "Close", kMethod},
        };
        return members;
    }

    Status Call(DispId id, InvokeKind, const Args& args, Variant* result) override {
        switch (id) {
            case kName:
                if (Status s = args.Count(0, 0); !s.ok()) return s;
                *result = Variant::Bstr(book_->model.name);
                return Status::Ok();
            case kWorksheets:
                if (Status s = args.Count(0, 0); !s.ok()) return s;
                *result = Variant::Object(std::make_shared<WorksheetsObject>(app_, book_));
                return Status::Ok();
            case kSaveAs:
                return SaveAs(args);
            default:
                return Close(args);
        }
    }

  private:
    Status Save(const Args& args, const std::string& path, WorkbookFileFormat format) {
        if (path.empty()) return args.Fail(hr::kException, "no file name was given.");
        Status status = SaveWorkbookFile(book_->model, path, format);
        if (!status.ok()) return args.Fail(hr::kException, status.text);
        book_->model.path = path;
        const std::size_t slash = path.find_last_of('/');
        book_->model.name = slash == std::string::npos ? path : path.substr(slash + 1);
        return Status::Ok();
    }

    // Filename, FileFormat, Password, WriteResPassword, ReadOnlyRecommended,
    // CreateBackup, AccessMode, ConflictResolution, AddToMru, TextCodepage,
    // TextVisualLayout, Local.
    Status SaveAs(const Args& args) {
        if (Status s = args.Count(1, 12); !s.ok()) return s;
        std::string path;
        if (Status s = args.Path(0, &path); !s.ok()) return s;
        WorkbookFileFormat format = FileFormatForName(path);
        if (args.Has(1)) {
            std::int32_t code = 0;
            if (Status s = args.Int(1, &code); !s.ok()) return s;
            if (code == kFileFormatExcel8 || code == kFileFormatWorkbookNormal) {
                format = WorkbookFileFormat::Biff8;
            } else if (code == kFileFormatOpenXmlWorkbook) {
                format = WorkbookFileFormat::Xlsx;
            } else {
                return args.Fail(hr::kException,
                                 "file format " + std::to_string(code) + " is not supported.");
            }
        }
        for (std::size_t i : {2, 3}) {
            std::string password;
            if (args.Has(i) && (!args[i].ToText(&password) || !password.empty())) {
                return args.Fail(hr::kException, "saving with a password is not supported.");
            }
        }
        return Save(args, path, format);
    }

    Status Close(const Args& args) {
        if (Status s = args.Count(0, 3); !s.ok()) return s;
        bool save = false;
        if (args.Has(0)) {
            if (Status s = args.Bool(0, &save); !s.ok()) return s;
        }
        if (save) {
            std::string path = book_->model.path;
            if (args.Has(1)) {
                if (Status s = args.Path(1, &path); !s.ok()) return s;
            }
            if (Status s = Save(args, path, FileFormatForName(path)); !s.ok()) return s;
        }
        book_->open = false;
        auto& books = app_->books;
        books.erase(std::remove(books.begin(), books.end(), book_), books.end());
        return Status::Ok();
    }
};

// ---------------------------------------------------------------- Workbooks, Application

std::shared_ptr<BookState> NewBook(AppState& app, int sheetCount) {
    auto book = std::make_shared<BookState>();
    book->model.name = "Book" + std::to_string(app.nextBookNumber++);
    for (int i = 1; i <= sheetCount; ++i) {
        book->model.sheets.push_back(std::make_shared<SheetModel>("Sheet" + std::to_string(i)));
    }
    app.books.push_back(book);
    return book;
}

class WorkbooksObject : public ServerObject {
  public:
    using ServerObject::ServerObject;
    const char* TypeName() const override { return "Workbooks"; }

  protected:
    const std::vector<Member>& Members() const override {
        static const std::vector<Member> members = {
            {kAdd, "Add", kMethod},
            {kClose, "Close", kMethod},
            {kCount, "Count", kGet},
            {kItem, "Item", kGet},
        };
        return members;
    }

    Status Call(DispId id, InvokeKind, const Args& args, Variant* result) override {
        switch (id) {
            case kAdd: {
                if (Status s = args.Count(0, 1); !s.ok()) return s;
                int sheets = 3;
                if (args.Has(0)) {
                    std::int32_t kind = 0;
                    if (!args[0].ToInt32(&kind) || kind != kTemplateWorksheet) {
                        return args.Fail(hr::kException,
                                         "templates other than a blank worksheet (-4167) "
                                         "are not supported.");
                    }
                    sheets = 1;
                }
                auto book = NewBook(*app_, sheets);
                *result = Variant::Object(std::make_shared<WorkbookObject>(app_, book));
                return Status::Ok();
            }
            case kClose:
                if (Status s = args.Count(0, 0); !s.ok()) return s;
                for (auto& book : app_->books) book->open = false;
                app_->books.clear();
                return Status::Ok();
            case kCount:
                if (Status s = args.Count(0, 0); !s.ok()) return s;
                *result = Variant::I4(static_cast<std::int32_t>(app_->books.size()));
                return Status::Ok();
            default: {
                if (Status s = args.Count(1, 1); !s.ok()) return s;
                std::int32_t index = 0;
                if (Status s = args.Int(0, &index); !s.ok()) return s;
                if (index < 1 || static_cast<std::size_t>(index) > app_->books.size()) {
                    return args.Fail(hr::kBadIndex,
                                     "there is no workbook " + std::to_string(index) + ".");
                }
                *result = Variant::Object(std::make_shared<WorkbookObject>(
                    app_, app_->books[static_cast<std::size_t>(index) - 1]));
                return Status::Ok();
            }
        }
    }
};

class ApplicationObject : public ServerObject {
  public:
    using ServerObject::ServerObject;
    const char* TypeName() const override { return "Application"; }

  protected:
    const std::vector<Member>& Members() const override {
        static const std::vector<Member> members = {
            {kWorkbooks, "Workbooks", kGet},
            {kQuit, "Quit", kMethod},
            {kVisible, "Visible", kGet | kPut},
        };
        return members;
    }

    Status Call(DispId id, InvokeKind kind, const Args& args, Variant* result) override {
        switch (id) {
            case kWorkbooks:
                if (Status s = args.Count(0, 0); !s.ok()) return s;
                *result = Variant::Object(std::make_shared<WorkbooksObject>(app_));
                return Status::Ok();
            case kQuit:
                // Unsaved workbooks are dropped: the program never shows its
                // window, so there is no one to ask.
                if (Status s = args.Count(0, 0); !s.ok()) return s;
                for (auto& book : app_->books) book->open = false;
                app_->books.clear();
                app_->quit = true;
                return Status::Ok();
            default:
                if (kind == InvokeKind::PropertyGet) {
                    if (Status s = args.Count(0, 0); !s.ok()) return s;
                    *result = Variant::Bool(app_->visible);
                    return Status::Ok();
                }
                if (Status s = args.Count(1, 1); !s.ok()) return s;
                return args.Bool(0, &app_->visible);
        }
    }
};

}  // namespace

DispatchPtr CreateExcelApplication() {
    return std::make_shared<ApplicationObject>(std::make_shared<AppState>());
}

ServerFactory ExcelServerFactory() {
    return [](Status*) { return CreateExcelApplication(); };
}

std::shared_ptr<WorkbookModel> WorkbookModelOf(const DispatchPtr& object) {
    if (auto* book = dynamic_cast<BookObject*>(object.get())) {
        return std::shared_ptr<WorkbookModel>(book->book(), &book->book()->model);
    }
    return nullptr;
}

}  // namespace automation
