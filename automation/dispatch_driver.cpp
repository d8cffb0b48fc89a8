#include "dispatch_driver.h"

#include <cstdio>

#include "com_runtime.h"

namespace automation {

namespace {

// Converts `value` to `type` as the automation conversions do; false when
// it cannot.
bool ConvertTo(VarType type, const Variant& value, Variant* out) {
    if (value.type() == type) {
        *out = value;
        return true;
    }
    std::int32_t i = 0;
    double d = 0;
    bool b = false;
    std::string s;
    switch (type) {
        case VarType::I2:
            if (!value.ToInt32(&i) || i < -32768 || i > 32767) return false;
            *out = Variant::I2(static_cast<std::int16_t>(i));
            return true;
        case VarType::I4:
            if (!value.ToInt32(&i)) return false;
            *out = Variant::I4(i);
            return true;
        case VarType::R8:
            if (!value.ToDouble(&d)) return false;
            *out = Variant::R8(d);
            return true;
        case VarType::Bool:
            if (!value.ToBool(&b)) return false;
            *out = Variant::Bool(b);
            return true;
        case VarType::Bstr:
            if (!value.ToText(&s)) return false;
            *out = Variant::Bstr(s);
            return true;
        default:
            return false;  // objects and errors do not convert
    }
}

}  // namespace

Status DispatchDriver::CreateDispatch(const std::string& progId) {
    DispatchPtr object;
    Status status = CreateObject(progId, &object);
    object_ = std::move(object);
    return status;
}

Status DispatchDriver::InvokeHelper(DispId id, InvokeKind kind, VarType resultType, Variant* result,
                                    const std::vector<Variant>& args) const {
    if (result) *result = Variant();
    if (!object_) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "Member 0x%X was called on a wrapper that holds no object.",
                      static_cast<unsigned>(id));
        return Status::Error(hr::kInvalidArg, text);
    }
    Variant value;
    Status status = object_->Invoke(id, kind, args, &value);
    if (!status.ok() || resultType == VarType::Empty || !result) return status;
    if (!ConvertTo(resultType, value, result)) {
        const std::string member = object_->MemberName(id);
        return Status::Error(hr::kTypeMismatch, std::string(object_->TypeName()) + "." +
                                                    (member.empty() ? "?" : member) + " gave " +
                                                    value.Describe() + " where " +
                                                    VarTypeName(resultType) + " was expected.");
    }
    return status;
}

}  // namespace automation
