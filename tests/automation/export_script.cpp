#include "export_script.h"

#include <cstdio>

#include "com_runtime.h"
#include "excel_dispids.h"
#include "variant.h"

namespace automation::testing {

namespace {

using namespace excel;

// One dispatch reference, as the export's wrapper classes hold it.
class Ref {
  public:
    Ref() = default;
    explicit Ref(DispatchPtr p) : p_(std::move(p)) {}
    Status Get(DispId id, Ref* out, std::vector<Variant> args = {}) {
        Variant v;
        Status s = p_->Invoke(id, InvokeKind::PropertyGet, args, &v);
        if (s.ok()) out->p_ = v.object();
        return s;
    }
    Status Put(DispId id, std::vector<Variant> args) {
        return p_->Invoke(id, InvokeKind::PropertyPut, args, nullptr);
    }
    Status Call(DispId id, std::vector<Variant> args = {}, Variant* result = nullptr) {
        return p_->Invoke(id, InvokeKind::Method, args, result);
    }
    Status GetValue(DispId id, Variant* out) {
        return p_->Invoke(id, InvokeKind::PropertyGet, {}, out);
    }
    void Release() { p_.reset(); }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    DispatchPtr p_;
};

#define TRY(expr)                          \
    do {                                   \
        Status status_ = (expr);           \
        if (!status_.ok()) return status_; \
    } while (0)

Status FillRecordSheet(const ExportInput& in, Ref& sheet, Ref& range) {
    const Variant missing = Variant::Missing();
    TRY(sheet.Put(kName, {Variant::Bstr(in.sheetTime + "_OPERATOR_" + in.operatorText)}));
    Ref columns, column;
    TRY(sheet.Get(kColumns, &columns));
    for (int c = 1; c <= 5; ++c) {
        TRY(columns.Get(kItem, &column, {Variant::I4(c), missing}));
        TRY(column.Put(kColumnWidth, {Variant::I4(20)}));
    }
    Ref font, interior;
    TRY(sheet.Get(kRange, &range, {Variant::Bstr("A1"), Variant::Bstr("G1")}));
    TRY(range.Call(kMerge, {Variant::I4(0)}));
    TRY(range.Put(kRowHeight, {Variant::I4(24)}));
    TRY(range.Get(kFont, &font));
    TRY(font.Put(kName, {Variant::Bstr("宋体")}));
    TRY(font.Put(kColorIndex, {Variant::I4(11)}));
    TRY(font.Put(kSize, {Variant::I4(16)}));
    TRY(font.Put(kBold, {Variant::I4(1)}));
    TRY(range.Get(kInterior, &interior));
    TRY(interior.Put(kColor, {Variant::R8(52479.0)}));
    TRY(range.Put(kItem, {Variant::I4(1), Variant::I4(1),
                          Variant::Bstr(in.titleTime + " Card Counter Record")}));

    TRY(sheet.Get(kRange, &range, {Variant::Bstr("A2"), Variant::Bstr("G2")}));
    TRY(range.Put(kRowHeight, {Variant::I4(18)}));
    TRY(range.Get(kFont, &font));
    TRY(font.Put(kBold, {Variant::I4(1)}));
    TRY(range.Get(kInterior, &interior));
    TRY(interior.Put(kColor, {Variant::R8(10092543.0)}));
    for (std::size_t k = 0; k < in.headers.size(); ++k) {
        TRY(range.Put(kItem, {Variant::I4(1), Variant::I4(static_cast<int>(k) + 1),
                              Variant::Bstr(in.headers[k])}));
    }

    TRY(sheet.Get(kCells, &range));
    for (std::size_t i = 0; i < in.rows.size(); ++i) {
        for (int j = 0; j < 5; ++j) {
            TRY(range.Put(kItem, {Variant::I4(static_cast<int>(i) + 3), Variant::I4(j + 1),
                                  Variant::Bstr(in.rows[i][j])}));
        }
    }
    TRY(sheet.Get(kUsedRange, &range));
    TRY(range.Put(kHorizontalAlignment, {Variant::I4(kAlignCenter)}));
    TRY(range.Put(kVerticalAlignment, {Variant::I4(kAlignCenter)}));
    return Status::Ok();
}

Status Export(const ExportInput& in, Ref& app) {
    const Variant missing = Variant::Missing();
    Ref books, book, sheets, sheet, range;
    TRY(app.Put(kVisible, {Variant::Bool(false)}));
    TRY(app.Get(kWorkbooks, &books));
    Variant made;
    TRY(books.Call(kAdd, {missing}, &made));
    book = Ref(made.object());
    Variant name;
    TRY(book.GetValue(kName, &name));
    TRY(book.Get(kWorksheets, &sheets));
    Variant count;
    TRY(sheets.GetValue(kCount, &count));
    for (std::int16_t index : {std::int16_t{3}, std::int16_t{2}}) {
        if (count.i4() < index) continue;
        TRY(sheets.Get(kItem, &sheet, {Variant::I2(index)}));
        TRY(sheet.Call(kDelete));
    }
    TRY(sheets.Get(kItem, &sheet, {Variant::I2(1)}));
    if (!in.rows.empty()) {
        TRY(FillRecordSheet(in, sheet, range));
        if (!in.path.empty()) {
            TRY(book.Call(kSaveAs,
                          {Variant::Bstr(in.path), missing, missing, missing, missing, missing,
                           Variant::I4(0), missing, missing, missing, missing, missing}));
        }
    }
    TRY(book.Call(kClose, {Variant::I4(0), name, missing}));
    TRY(books.Call(kClose));
    TRY(app.Call(kQuit));
    return Status::Ok();
}

#undef TRY

}  // namespace

std::vector<std::array<std::string, 5>> SampleRows(int count, const std::string& operatorText) {
    std::vector<std::array<std::string, 5>> rows;
    rows.reserve(static_cast<std::size_t>(count));
    long long sum = 0;
    for (int n = 1; n <= count; ++n) sum += 100 + n % 7;
    for (int n = count; n >= 1; --n) {
        const int quantity = 100 + n % 7;
        char time[32];
        std::snprintf(time, sizeof time, "2014-08-10 %02d:%02d:%02d", (n / 3600) % 24,
                      (n / 60) % 60, n % 60);
        rows.push_back(
            {std::to_string(n), std::to_string(quantity), std::to_string(sum), operatorText, time});
        sum -= quantity;
    }
    return rows;
}

Status RunExport(const ExportInput& input) {
    InitializeThread();
    DispatchPtr object;
    Status status = CreateObject(kExcelProgId, &object);
    if (status.ok()) {
        Ref app(object);
        object.reset();
        status = Export(input, app);
        if (!status.ok()) app.Call(kQuit);
    }
    UninitializeThread();
    return status;
}

}  // namespace automation::testing
