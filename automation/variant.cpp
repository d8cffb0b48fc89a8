#include "variant.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace automation {

Dispatch::~Dispatch() = default;

std::string Dispatch::MemberName(DispId) const { return std::string(); }

const char* InvokeKindName(InvokeKind kind) {
    switch (kind) {
        case InvokeKind::Method:
            return "method";
        case InvokeKind::PropertyGet:
            return "get";
        case InvokeKind::PropertyPut:
            return "put";
    }
    return "unknown";
}

const char* VarTypeName(VarType type) {
    switch (type) {
        case VarType::Empty:
            return "EMPTY";
        case VarType::I2:
            return "I2";
        case VarType::I4:
            return "I4";
        case VarType::R8:
            return "R8";
        case VarType::Bstr:
            return "BSTR";
        case VarType::Dispatch:
            return "DISPATCH";
        case VarType::Error:
            return "ERROR";
        case VarType::Bool:
            return "BOOL";
    }
    return "?";
}

Variant Variant::I2(std::int16_t value) {
    Variant v;
    v.type_ = VarType::I2;
    v.integer_ = value;
    return v;
}

Variant Variant::I4(std::int32_t value) {
    Variant v;
    v.type_ = VarType::I4;
    v.integer_ = value;
    return v;
}

Variant Variant::R8(double value) {
    Variant v;
    v.type_ = VarType::R8;
    v.real_ = value;
    return v;
}

Variant Variant::Bstr(std::string utf8) {
    Variant v;
    v.type_ = VarType::Bstr;
    v.text_ = std::move(utf8);
    return v;
}

Variant Variant::Bool(bool value) {
    Variant v;
    v.type_ = VarType::Bool;
    v.integer_ = value ? -1 : 0;  // VARIANT_TRUE is -1
    return v;
}

Variant Variant::Error(HResult code) {
    Variant v;
    v.type_ = VarType::Error;
    v.integer_ = code;
    return v;
}

Variant Variant::Object(DispatchPtr object) {
    Variant v;
    v.type_ = VarType::Dispatch;
    v.object_ = std::move(object);
    return v;
}

Variant Variant::Missing() { return Error(hr::kParamNotFound); }

namespace {

// Whole text must be a number, as VariantChangeType wants; blanks around it
// are allowed.
bool ParseNumber(const std::string& text, double* out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(value)) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return false;
    *out = value;
    return true;
}

}  // namespace

bool Variant::ToDouble(double* out) const {
    switch (type_) {
        case VarType::I2:
        case VarType::I4:
        case VarType::Bool:
            *out = integer_;
            return true;
        case VarType::R8:
            *out = real_;
            return std::isfinite(real_);
        case VarType::Empty:
            *out = 0.0;
            return true;
        case VarType::Bstr:
            return ParseNumber(text_, out);
        default:
            return false;
    }
}

bool Variant::ToInt32(std::int32_t* out) const {
    if (type_ == VarType::I2 || type_ == VarType::I4 || type_ == VarType::Bool) {
        *out = integer_;
        return true;
    }
    double value = 0.0;
    if (!ToDouble(&value)) return false;
    // Rounds half to even, as the COM conversions do.
    value = std::nearbyint(value);
    if (value < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        value > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return false;
    }
    *out = static_cast<std::int32_t>(value);
    return true;
}

bool Variant::ToBool(bool* out) const {
    if (type_ == VarType::Bstr) {
        if (text_ == "True" || text_ == "true" || text_ == "TRUE") {
            *out = true;
            return true;
        }
        if (text_ == "False" || text_ == "false" || text_ == "FALSE") {
            *out = false;
            return true;
        }
    }
    double value = 0.0;
    if (!ToDouble(&value)) return false;
    *out = value != 0.0;
    return true;
}

bool Variant::ToText(std::string* out) const {
    char buffer[64];
    switch (type_) {
        case VarType::Bstr:
            *out = text_;
            return true;
        case VarType::Empty:
            out->clear();
            return true;
        case VarType::I2:
        case VarType::I4:
            std::snprintf(buffer, sizeof buffer, "%d", integer_);
            *out = buffer;
            return true;
        case VarType::R8:
            std::snprintf(buffer, sizeof buffer, "%.15g", real_);
            *out = buffer;
            return true;
        case VarType::Bool:
            *out = integer_ != 0 ? "True" : "False";
            return true;
        default:
            return false;
    }
}

std::string Variant::Describe() const {
    char buffer[64];
    switch (type_) {
        case VarType::Empty:
            return "EMPTY";
        case VarType::I2:
        case VarType::I4:
            std::snprintf(buffer, sizeof buffer, "%s %d", VarTypeName(type_), integer_);
            return buffer;
        case VarType::R8:
            std::snprintf(buffer, sizeof buffer, "R8 %.17g", real_);
            return buffer;
        case VarType::Bool:
            return integer_ != 0 ? "BOOL true" : "BOOL false";
        case VarType::Error:
            std::snprintf(buffer, sizeof buffer, "ERROR 0x%08X", static_cast<unsigned>(integer_));
            return buffer;
        case VarType::Bstr:
            return "BSTR \"" + text_ + "\"";
        case VarType::Dispatch:
            return std::string("DISPATCH ") + (object_ ? object_->TypeName() : "null");
    }
    return "?";
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.type_ != b.type_) return false;
    switch (a.type_) {
        case VarType::R8:
            return a.real_ == b.real_;
        case VarType::Bstr:
            return a.text_ == b.text_;
        case VarType::Dispatch:
            return a.object_ == b.object_;
        default:
            return a.integer_ == b.integer_;
    }
}

}  // namespace automation
