#include "output/label_layout.h"

#include <vector>

namespace {

// Box numbers of the page are printed with "%d": the unsigned start plus k,
// wrapped to 32 bits and read as signed.
std::int32_t AsSigned(std::uint32_t value) {
    return value <= 2147483647u ? static_cast<std::int32_t>(value)
                                : static_cast<std::int32_t>(value - 2147483648u) - 2147483647 - 1;
}

}  // namespace

void PaintSingleLabel(LabelCanvas& canvas, const LabelFields& f) {
    canvas.DrawText(300, 100, "CustomerID:" + f.customerId);
    canvas.DrawText(300, 200, "ProductBatch:" + f.productBatch);
    canvas.DrawText(300, 300, "BoxSerialNo.:" + f.boxNum + "/" + f.boxCount);
    canvas.DrawText(300, 600, "Operator:" + f.operatorText);
    canvas.DrawText(300, 700, "PrintDate:" + f.lastRecordDate);
    canvas.DrawText(300, 800, "PrintTime:" + f.lastRecordTime);
    canvas.UseLargeFont();
    canvas.DrawText(400, 400, f.cardCount);
}

int LabelCountOfRange(std::uint32_t start, std::uint32_t end) {
    const std::int64_t count =
        static_cast<std::int64_t>(end) - static_cast<std::int64_t>(start) + 1;
    if (count <= 0) return 0;
    return count > 6 ? 6 : static_cast<int>(count);
}

int PaintLabelPage(LabelCanvas& canvas, const LabelFields& f, std::uint32_t start,
                   std::uint32_t end, const BoxCardCount& cardCountOfBox) {
    const int count = LabelCountOfRange(start, end);
    std::vector<std::int32_t> boxes;
    for (int k = 0; k < count; ++k)
        boxes.push_back(AsSigned(start + static_cast<std::uint32_t>(k)));

    // Label k: column k mod 2 at X 300 or 1400, row k div 2 at base line
    // B 200, 1400 or 2600.
    auto left = [](int k) { return k % 2 == 0 ? 300 : 1400; };
    auto base = [](int k) { return 200 + 1200 * (k / 2); };

    for (int k = 0; k < count; ++k) {
        const int x = left(k), b = base(k);
        canvas.DrawText(x, b - 100, "CustomerID:" + f.customerId);
        canvas.DrawText(x, b, "ProductBatch:" + f.productBatch);
        canvas.DrawText(x, b + 100, "BoxSerialNo:" + std::to_string(boxes[k]) + "/" + f.boxCount);
        canvas.DrawText(x, b + 400, "Operator:" + f.operatorText);
        canvas.DrawText(x, b + 500, "PrintDate:" + f.lastRecordDate);
        canvas.DrawText(x, b + 600, "PrintTime:" + f.lastRecordTime);
    }
    canvas.UseLargeFont();
    for (int k = 0; k < count; ++k) {
        const std::string figure = cardCountOfBox ? cardCountOfBox(boxes[k]) : std::string();
        canvas.DrawText(left(k) + 100, base(k) + 200, figure);
    }
    return count;
}

int BoxRow(std::int32_t recordNumber, std::int32_t boxNumber, int rowCount) {
    const std::int64_t row = static_cast<std::int64_t>(recordNumber) - boxNumber;
    if (row < 0 || row >= rowCount) return -1;
    return static_cast<int>(row);
}

bool ParsePrinterEntry(const std::string& entry, PrinterEntry& out) {
    // The profile value is read into an 80-character buffer: 79 characters
    // and the terminating zero.
    std::string text = entry.substr(0, entry.find('\0'));
    if (text.size() > 79) text.resize(79);

    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (fields.size() < 3) {
        pos = text.find_first_not_of(',', pos);
        if (pos == std::string::npos) break;
        const std::size_t comma = text.find(',', pos);
        fields.push_back(
            text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos));
        if (comma == std::string::npos) break;
        pos = comma;
    }
    if (fields.size() < 3) return false;
    out.device = fields[0];
    out.driver = fields[1];
    out.port = fields[2];
    return true;
}
