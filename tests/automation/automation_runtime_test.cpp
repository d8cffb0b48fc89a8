// The runtime (thread initialisation, creation by ProgID, the registry),
// variants and the text and colour conversions under the writers.
#include <gtest/gtest.h>

#include <thread>

#include "com_runtime.h"
#include "dispatch_driver.h"
#include "excel_dispids.h"
#include "excel_server.h"
#include "palette.h"
#include "utf.h"
#include "variant.h"

namespace automation {
namespace {

TEST(ThreadInit, SecondInitialisationIsReportedAsAlreadyAndMustBeBalanced) {
    ASSERT_EQ(ThreadInitCount(), 0);
    EXPECT_EQ(InitializeThread(), InitResult::Ok);
    EXPECT_EQ(InitializeThread(), InitResult::AlreadyInitialized);
    EXPECT_EQ(ThreadInitCount(), 2);
    UninitializeThread();
    // Still initialised after one uninitialise: creation works.
    DispatchPtr app;
    EXPECT_TRUE(CreateObject(kExcelProgId, &app).ok());
    UninitializeThread();
    EXPECT_EQ(ThreadInitCount(), 0);
    UninitializeThread();  // an unbalanced extra call does nothing
    EXPECT_EQ(ThreadInitCount(), 0);
    EXPECT_EQ(InitializeThread(), InitResult::Ok);
    UninitializeThread();
}

TEST(ThreadInit, EachThreadHasItsOwnState) {
    ASSERT_EQ(InitializeThread(), InitResult::Ok);
    InitResult other = InitResult::AlreadyInitialized;
    Status creation;
    std::thread t([&] {
        DispatchPtr app;
        creation = CreateObject(kExcelProgId, &app);
        other = InitializeThread();
        UninitializeThread();
    });
    t.join();
    EXPECT_EQ(creation.code, hr::kNotInitialized);
    EXPECT_EQ(other, InitResult::Ok);
    UninitializeThread();
}

class Creation : public ::testing::Test {
  protected:
    void SetUp() override { InitializeThread(); }
    void TearDown() override {
        UninitializeThread();
        RestoreBuiltinServers();
    }
};

TEST_F(Creation, BuiltInSpreadsheetServerAnswersToItsProgId) {
    DispatchPtr app;
    ASSERT_TRUE(CreateObject("Excel.Application", &app).ok());
    ASSERT_TRUE(app);
    EXPECT_STREQ(app->TypeName(), "Application");
    // Each creation is an application of its own.
    DispatchPtr second;
    ASSERT_TRUE(CreateObject("Excel.Application", &second).ok());
    EXPECT_NE(app, second);
}

TEST_F(Creation, FailuresCarryCodeAndText) {
    DispatchPtr object;
    Status unknown = CreateObject("Word.Application", &object);
    EXPECT_EQ(unknown.code, hr::kClassNotRegistered);
    EXPECT_NE(unknown.text.find("Word.Application"), std::string::npos);
    EXPECT_FALSE(object);

    UnregisterServer(kExcelProgId);
    EXPECT_EQ(CreateObject(kExcelProgId, &object).code, hr::kClassNotRegistered);
    RestoreBuiltinServers();
    EXPECT_TRUE(CreateObject(kExcelProgId, &object).ok());
}

TEST_F(Creation, ScopedRegistrationReplacesThenRestores) {
    {
        ScopedServerRegistration failing(kExcelProgId, [](Status* failure) {
            *failure = Status::Error(hr::kServerFailed, "the server refused to start");
            return DispatchPtr();
        });
        DispatchPtr object;
        Status status = CreateObject(kExcelProgId, &object);
        EXPECT_EQ(status.code, hr::kServerFailed);
        EXPECT_EQ(status.text, "the server refused to start");
        {
            // A factory that makes nothing and says nothing still gives a text.
            ScopedServerRegistration silent(kExcelProgId, [](Status*) { return DispatchPtr(); });
            status = CreateObject(kExcelProgId, &object);
            EXPECT_EQ(status.code, hr::kServerFailed);
            EXPECT_FALSE(status.text.empty());
        }
        EXPECT_EQ(CreateObject(kExcelProgId, &object).text, "the server refused to start");
    }
    DispatchPtr object;
    EXPECT_TRUE(CreateObject(kExcelProgId, &object).ok());
    EXPECT_STREQ(object->TypeName(), "Application");
}

TEST_F(Creation, DriverInvokesAndConvertsResults) {
    DispatchDriver app;
    Variant none;
    Status empty =
        app.InvokeHelper(excel::kWorkbooks, InvokeKind::PropertyGet, VarType::Dispatch, &none);
    EXPECT_EQ(empty.code, hr::kInvalidArg);
    EXPECT_EQ(empty.text, "Member 0x23C was called on a wrapper that holds no object.");

    ASSERT_TRUE(app.CreateDispatch(kExcelProgId).ok());
    EXPECT_TRUE(app.SetProperty(excel::kVisible, Variant::Bool(false)).ok());
    Variant visible;
    ASSERT_TRUE(app.GetProperty(excel::kVisible, VarType::I4, &visible).ok());
    EXPECT_EQ(visible, Variant::I4(0));
    Variant books;
    ASSERT_TRUE(app.GetProperty(excel::kWorkbooks, VarType::Dispatch, &books).ok());
    DispatchDriver workbooks(books.object());
    Variant book;
    ASSERT_TRUE(workbooks
                    .InvokeHelper(excel::kAdd, InvokeKind::Method, VarType::Dispatch, &book,
                                  {Variant::Missing()})
                    .ok());
    DispatchDriver workbook(book.object());
    Variant name;
    Status wrongType = workbook.GetProperty(excel::kName, VarType::I4, &name);
    EXPECT_EQ(wrongType.code, hr::kTypeMismatch);
    EXPECT_EQ(wrongType.text, "Workbook.Name gave BSTR \"Book1\" where I4 was expected.");
    EXPECT_TRUE(name.IsEmpty());
    // The server's refusal comes back unchanged.
    Status refused = workbook.InvokeHelper(0x4242, InvokeKind::Method, VarType::Empty, nullptr);
    EXPECT_EQ(refused.code, hr::kMemberNotFound);
    app.ReleaseDispatch();
    EXPECT_FALSE(app.attached());
}

TEST(VariantTest, MissingArgumentIsErrorParamNotFound) {
    const Variant missing = Variant::Missing();
    EXPECT_EQ(missing.type(), VarType::Error);
    EXPECT_EQ(static_cast<std::uint32_t>(missing.error()), 0x80020004u);
    EXPECT_TRUE(missing.IsMissing());
    EXPECT_FALSE(Variant::Error(hr::kTypeMismatch).IsMissing());
    EXPECT_EQ(missing.Describe(), "ERROR 0x80020004");
}

TEST(VariantTest, CoercionsFollowTheAutomationRules) {
    struct Case {
        Variant value;
        bool ok;
        std::int32_t expected;
    };
    const Case cases[] = {
        {Variant::I2(-3), true, -3},
        {Variant::I4(2000000000), true, 2000000000},
        {Variant::R8(2.5), true, 2},  // half to even
        {Variant::R8(3.5), true, 4},
        {Variant::R8(3e9), false, 0},
        {Variant::Bstr(" 12 "), true, 12},
        {Variant::Bstr("12x"), false, 0},
        {Variant::Bstr(""), false, 0},
        {Variant::Bool(true), true, -1},
        {Variant(), true, 0},
        {Variant::Missing(), false, 0},
    };
    for (const Case& c : cases) {
        std::int32_t out = 77;
        EXPECT_EQ(c.value.ToInt32(&out), c.ok) << c.value.Describe();
        EXPECT_EQ(out, c.ok ? c.expected : 77) << c.value.Describe();
    }
    bool flag = false;
    EXPECT_TRUE(Variant::I4(1).ToBool(&flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(Variant::Bstr("False").ToBool(&flag));
    EXPECT_FALSE(flag);
    std::string text;
    EXPECT_TRUE(Variant::R8(52479.0).ToText(&text));
    EXPECT_EQ(text, "52479");
    EXPECT_EQ(Variant::R8(52479.0).Describe(), "R8 52479");
    EXPECT_EQ(Variant::Bstr("宋体").Describe(), "BSTR \"宋体\"");
}

TEST(Utf, ConvertsAndRepairsTexts) {
    EXPECT_EQ(Utf8ToUtf16("宋体"), std::u16string({0x5B8B, 0x4F53}));
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string({0xD83D, 0xDE00}));
    EXPECT_EQ(Utf16Length("a\xF0\x9F\x98\x80"), 3u);
    // Overlong, truncated and stray bytes each become U+FFFD.
    EXPECT_EQ(SanitizeUtf8("\xC0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(SanitizeUtf8("ab\xE5\xAE"), "ab\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(SanitizeUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // a surrogate
    EXPECT_EQ(SanitizeUtf8("宋体 ok"), "宋体 ok");
}

TEST(Palette, ColourValuesAndIndexes) {
    EXPECT_EQ(PaletteRgb(11), 0x000080u);  // navy, the title's font colour
    EXPECT_EQ(ColorValueToRgb(52479), 0xFFCC00u);
    EXPECT_EQ(ColorValueToRgb(10092543), 0xFFFF99u);
    EXPECT_EQ(NearestColorIndex(0xFFCC00), 44);
    EXPECT_EQ(NearestColorIndex(0xFFFF99), 36);
    EXPECT_EQ(NearestColorIndex(0x010101), 1);
    EXPECT_EQ(NearestColorIndex(0x000080), 11);  // the first of two equal entries
    EXPECT_EQ(PaletteRgb(0), 0u);
    EXPECT_EQ(PaletteRgb(57), 0u);
}

}  // namespace
}  // namespace automation
