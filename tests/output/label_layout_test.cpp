// Label layouts drawn onto a recording device context: every text with its
// position, and the point where the large font is selected.
#include "output/label_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingCanvas : public LabelCanvas {
  public:
    void DrawText(int x, int y, const std::string& text) override {
        ops.push_back(std::to_string(x) + "," + std::to_string(y) + " " + text);
    }
    void UseLargeFont() override { ops.push_back("LARGE"); }
    std::vector<std::string> ops;
};

LabelFields Fields() {
    LabelFields f;
    f.customerId = "C01";
    f.productBatch = "B07";
    f.boxNum = "12";
    f.boxCount = "20";
    f.operatorText = "A7";
    f.cardCount = "100";
    f.lastRecordDate = "10/08/2014";
    f.lastRecordTime = "09:05:03";
    return f;
}

// The record list of recordNumber records, newest in row 0; box n's SINGLE
// QUANTITY is "q" + n, found by position as the window does.
BoxCardCount ListOf(std::int32_t recordNumber, int rows) {
    return [=](std::int32_t box) {
        const int row = BoxRow(recordNumber, box, rows);
        return row < 0 ? std::string() : "q" + std::to_string(recordNumber - row);
    };
}

TEST(LabelLayout, SingleLabel) {
    RecordingCanvas canvas;
    PaintSingleLabel(canvas, Fields());
    EXPECT_EQ(canvas.ops, (std::vector<std::string>{
                              "300,100 CustomerID:C01",
                              "300,200 ProductBatch:B07",
                              "300,300 BoxSerialNo.:12/20",
                              "300,600 Operator:A7",
                              "300,700 PrintDate:10/08/2014",
                              "300,800 PrintTime:09:05:03",
                              "LARGE",
                              "400,400 100",
                          }));
}

TEST(LabelLayout, PageOfThreeBoxes) {
    RecordingCanvas canvas;
    EXPECT_EQ(PaintLabelPage(canvas, Fields(), 1, 3, ListOf(3, 3)), 3);
    std::vector<std::string> expected;
    const int xs[] = {300, 1400, 300}, bs[] = {200, 200, 1400};
    for (int k = 0; k < 3; ++k) {
        const std::string at = std::to_string(xs[k]) + ",";
        expected.push_back(at + std::to_string(bs[k] - 100) + " CustomerID:C01");
        expected.push_back(at + std::to_string(bs[k]) + " ProductBatch:B07");
        expected.push_back(at + std::to_string(bs[k] + 100) +
                           " BoxSerialNo:" + std::to_string(k + 1) + "/20");
        expected.push_back(at + std::to_string(bs[k] + 400) + " Operator:A7");
        expected.push_back(at + std::to_string(bs[k] + 500) + " PrintDate:10/08/2014");
        expected.push_back(at + std::to_string(bs[k] + 600) + " PrintTime:09:05:03");
    }
    expected.push_back("LARGE");
    expected.push_back("400,400 q1");
    expected.push_back("1500,400 q2");
    expected.push_back("400,1600 q3");
    EXPECT_EQ(canvas.ops, expected);
}

// Only the box lines and the figures: what changes from label to label.
std::vector<std::string> BoxesAndFigures(const std::vector<std::string>& ops) {
    std::vector<std::string> picked;
    bool large = false;
    for (const std::string& op : ops) {
        if (op == "LARGE") large = true;
        if (large || op.find("BoxSerialNo") != std::string::npos) picked.push_back(op);
    }
    return picked;
}

TEST(LabelLayout, SixBoxesFillThePage) {
    RecordingCanvas canvas;
    EXPECT_EQ(PaintLabelPage(canvas, Fields(), 15, 20, ListOf(20, 20)), 6);
    EXPECT_EQ(BoxesAndFigures(canvas.ops), (std::vector<std::string>{
                                               "300,300 BoxSerialNo:15/20",
                                               "1400,300 BoxSerialNo:16/20",
                                               "300,1500 BoxSerialNo:17/20",
                                               "1400,1500 BoxSerialNo:18/20",
                                               "300,2700 BoxSerialNo:19/20",
                                               "1400,2700 BoxSerialNo:20/20",
                                               "LARGE",
                                               "400,400 q15",
                                               "1500,400 q16",
                                               "400,1600 q17",
                                               "1500,1600 q18",
                                               "400,2800 q19",
                                               "1500,2800 q20",
                                           }));
}

TEST(LabelLayout, RangesBeyondSixOrBackwards) {
    const struct {
        std::uint32_t start, end;
        int labels;
    } cases[] = {
        {1, 10, 6},          {7, 7, 1},           {3, 2, 0}, {5, 1, 0},
        {4294967295u, 0, 0}, {0, 4294967295u, 6},  // the count is taken in 64 bits, not wrapped to
                                                   // 0
    };
    for (const auto& c : cases) {
        RecordingCanvas canvas;
        EXPECT_EQ(PaintLabelPage(canvas, Fields(), c.start, c.end, ListOf(10, 10)), c.labels)
            << c.start << ".." << c.end;
        EXPECT_EQ(canvas.ops.size(), 7u * c.labels + 1) << c.start << ".." << c.end;
        EXPECT_EQ(LabelCountOfRange(c.start, c.end), c.labels);
    }
    RecordingCanvas canvas;
    PaintLabelPage(canvas, Fields(), 1, 10, ListOf(10, 10));
    EXPECT_EQ(canvas.ops[6 * 6 - 4], "1400,2700 BoxSerialNo:6/20");
}

TEST(LabelLayout, ABoxOutsideTheListHasNoFigure) {
    // Record number reset to 2 while five old rows stayed in the list: box 4
    // lies at row -2 (no figure), box 1 at row 1.
    RecordingCanvas canvas;
    PaintLabelPage(canvas, Fields(), 1, 4, ListOf(2, 5));
    const std::vector<std::string> figures(canvas.ops.end() - 4, canvas.ops.end());
    EXPECT_EQ(figures,
              (std::vector<std::string>{"400,400 q1", "1500,400 q2", "400,1600 ", "1500,1600 "}));
}

TEST(LabelLayout, BoxNumbersPastTheSignedRangePrintAsSigned) {
    RecordingCanvas canvas;
    PaintLabelPage(canvas, Fields(), 2147483647u, 2147483648u, nullptr);
    EXPECT_EQ(BoxesAndFigures(canvas.ops),
              (std::vector<std::string>{"300,300 BoxSerialNo:2147483647/20",
                                        "1400,300 BoxSerialNo:-2147483648/20", "LARGE", "400,400 ",
                                        "1500,400 "}));
}

TEST(LabelLayout, BoxRow) {
    const struct {
        std::int32_t recordNumber, box;
        int rows, row;
    } cases[] = {
        {20, 20, 20, 0},
        {20, 1, 20, 19},
        {20, 21, 20, -1},
        {20, 0, 20, -1},
        {20, 15, 3, -1},
        {-2147483647 - 1, 2147483647, 10, -1},
        {2147483647, -2147483647 - 1, 10, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BoxRow(c.recordNumber, c.box, c.rows), c.row) << c.recordNumber << " " << c.box;
    }
}

TEST(LabelLayout, PrinterEntry) {
    const std::string longName(77, 'p');
    const struct {
        std::string entry;
        bool ok;
        std::string device, driver, port;
    } cases[] = {
        {"Office,CUPS,ipp://localhost/printers/Office", true, "Office", "CUPS",
         "ipp://localhost/printers/Office"},
        {",,,", false, "", "", ""},
        {"", false, "", "", ""},
        {"a,,b", false, "", "", ""},
        {",,a,,b,,,c,", true, "a", "b", "c"},
        {"a,b,c,d", true, "a", "b", "c"},
        {longName + ",d,port", false, "", "", ""},  // cut at 79: "...,d" is left
        {std::string(75, 'p') + ",d,p,tail", true, std::string(75, 'p'), "d", "p"},
    };
    for (const auto& c : cases) {
        PrinterEntry out{"x", "x", "x"};
        EXPECT_EQ(ParsePrinterEntry(c.entry, out), c.ok) << c.entry;
        if (c.ok) {
            EXPECT_EQ(out.device, c.device);
            EXPECT_EQ(out.driver, c.driver);
            EXPECT_EQ(out.port, c.port);
        }
    }
}

}  // namespace
