// Variants: the typed values that travel through the dispatch interface.
// Only the types this program passes or receives are supported.
#pragma once

#include <cstdint>
#include <string>

#include "dispatch.h"

namespace automation {

// The VARTYPE numbers of the supported types.
enum class VarType : std::uint16_t {
    Empty = 0,     // VT_EMPTY
    I2 = 2,        // VT_I2
    I4 = 3,        // VT_I4
    R8 = 5,        // VT_R8
    Bstr = 8,      // VT_BSTR
    Dispatch = 9,  // VT_DISPATCH
    Error = 10,    // VT_ERROR
    Bool = 11,     // VT_BOOL
};

const char* VarTypeName(VarType type);

// A value of one of the supported types. Texts (BSTR) are held as UTF-8, the
// program's own encoding; a server converts them where its file format wants
// UTF-16.
class Variant {
  public:
    Variant() = default;

    static Variant I2(std::int16_t value);
    static Variant I4(std::int32_t value);
    static Variant R8(double value);
    static Variant Bstr(std::string utf8);
    static Variant Bool(bool value);
    static Variant Error(HResult code);
    static Variant Object(DispatchPtr object);
    // The standard stand-in for an optional argument left out:
    // VT_ERROR carrying DISP_E_PARAMNOTFOUND.
    static Variant Missing();

    VarType type() const { return type_; }
    bool IsEmpty() const { return type_ == VarType::Empty; }
    bool IsMissing() const { return type_ == VarType::Error && integer_ == hr::kParamNotFound; }

    std::int16_t i2() const { return static_cast<std::int16_t>(integer_); }
    std::int32_t i4() const { return integer_; }
    double r8() const { return real_; }
    const std::string& bstr() const { return text_; }
    bool boolean() const { return integer_ != 0; }
    HResult error() const { return integer_; }
    const DispatchPtr& object() const { return object_; }

    // Coercions in the manner of VariantChangeType, for servers reading
    // arguments. Each fails (false) on a type that cannot convert, a text that
    // is not a number, or a value out of range; `out` is then untouched.
    bool ToInt32(std::int32_t* out) const;
    bool ToDouble(double* out) const;
    bool ToBool(bool* out) const;
    bool ToText(std::string* out) const;

    // "I4 3", "BSTR \"A1\"", "ERROR 0x80020004", "DISPATCH Range": the value
    // as a test or a log shows it.
    std::string Describe() const;

    friend bool operator==(const Variant& a, const Variant& b);
    friend bool operator!=(const Variant& a, const Variant& b) { return !(a == b); }

  private:
    VarType type_ = VarType::Empty;
    std::int32_t integer_ = 0;  // I2, I4, BOOL (0 or -1 as VARIANT_BOOL), ERROR
    double real_ = 0.0;
    std::string text_;
    DispatchPtr object_;
};

}  // namespace automation
