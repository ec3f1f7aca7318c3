#include "Automation.h"

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "ComOwners.h"
#include "ErrorText.h"
#include "SystemLibrary.h"

namespace velmor::win32 {
namespace {

using Microsoft::WRL::ComPtr;

constexpr LCID kLocale = 1033;
constexpr wchar_t kCallOperation[] = L"オートメーションの呼び出し";

// Fills a VARIANT the callee only reads; the UniqueVariant owns what it holds.
void Assign(UniqueVariant& target, const AutomationArg& value) {
  VARIANT* v = target.put();
  if (const bool* flag = std::get_if<bool>(&value)) {
    V_VT(v) = VT_BOOL;
    V_BOOL(v) = *flag ? VARIANT_TRUE : VARIANT_FALSE;
  } else {
    const std::wstring& text = std::get<std::wstring>(value);
    V_VT(v) = VT_BSTR;
    V_BSTR(v) = ole::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (V_BSTR(v) == nullptr)
      throw ComError(E_OUTOFMEMORY, L"SysAllocStringLen", kCallOperation, L"");
  }
}

class DispatchObject final : public AutomationObject {
 public:
  // name: how the report names this object, e.g. "Excel.Application" or
  // "Excel.Application.Workbooks".
  DispatchObject(ComPtr<IDispatch> dispatch, std::wstring name)
      : dispatch_(std::move(dispatch)), name_(std::move(name)) {}

  void Put(std::wstring_view member, const AutomationArg& value) override {
    std::vector<UniqueVariant> args(1);
    Assign(args[0], value);
    Invoke(member, DISPATCH_PROPERTYPUT, args, nullptr);
  }

  std::unique_ptr<AutomationObject> GetProperty(std::wstring_view member) override {
    std::vector<UniqueVariant> none;
    UniqueVariant result;
    Invoke(member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, none, &result);
    auto object = ObjectFrom(result, member);
    if (!object) {
      throw RuntimeError(static_cast<std::uint32_t>(DISP_E_TYPEMISMATCH),
                         L"オブジェクトが返されませんでした。", kCallOperation, Describe(member));
    }
    return object;
  }

  std::unique_ptr<AutomationObject> Call(std::wstring_view member,
                                         const std::vector<AutomationArg>& values) override {
    // IDispatch::Invoke takes the arguments last to first.
    std::vector<UniqueVariant> args(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) Assign(args[values.size() - 1 - i], values[i]);
    UniqueVariant result;
    Invoke(member, DISPATCH_METHOD, args, &result);
    return ObjectFrom(result, member);
  }

 private:
  std::wstring Describe(std::wstring_view member) const {
    return name_ + L"." + std::wstring(member);
  }

  std::unique_ptr<AutomationObject> ObjectFrom(UniqueVariant& result, std::wstring_view member) {
    VARIANT* v = result.get();
    if (V_VT(v) != VT_DISPATCH || V_DISPATCH(v) == nullptr) return nullptr;
    ComPtr<IDispatch> object(V_DISPATCH(v));  // takes its own reference; the variant keeps its one
    return std::make_unique<DispatchObject>(std::move(object), Describe(member));
  }

  void Invoke(std::wstring_view member, WORD flags, std::vector<UniqueVariant>& args,
              UniqueVariant* result) {
    std::wstring name(member);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, kLocale, &id);
    if (FAILED(hr))
      throw ComError(hr, L"IDispatch::GetIDsOfNames", kCallOperation, Describe(member));

    // VARIANTARG is VARIANT; the vector holds them contiguously behind the owner wrapper.
    std::vector<VARIANT> raw;
    raw.reserve(args.size());
    for (UniqueVariant& arg : args) raw.push_back(*arg.get());

    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.cArgs = static_cast<UINT>(raw.size());
    params.rgvarg = raw.empty() ? nullptr : raw.data();
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
      params.cNamedArgs = 1;
      params.rgdispidNamedArgs = &putId;
    }

    UniqueExcepInfo exception;
    UINT badArgument = 0;
    hr = dispatch_->Invoke(id, IID_NULL, kLocale, flags, &params,
                           result != nullptr ? result->put() : nullptr, exception.get(),
                           &badArgument);
    if (hr == DISP_E_EXCEPTION) throw ServerError(*exception.get(), member);
    if (FAILED(hr)) throw ComError(hr, L"IDispatch::Invoke", kCallOperation, Describe(member));
  }

  // An error raised inside the server (Excel, or a macro it runs): its own words reach the user.
  RuntimeError ServerError(EXCEPINFO& info, std::wstring_view member) const {
    if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
    const auto code = static_cast<std::uint32_t>(info.scode != 0 ? info.scode : info.wCode);
    const bool hasSource = info.bstrSource != nullptr && ole::SysStringLen(info.bstrSource) > 0;
    std::wstring description;
    if (info.bstrDescription != nullptr && ole::SysStringLen(info.bstrDescription) > 0) {
      if (hasSource) description = std::wstring(info.bstrSource) + L": ";
      description += info.bstrDescription;
    } else if (info.scode != 0 && IsSystemHresult(code)) {
      if (hasSource) description = std::wstring(info.bstrSource) + L": ";
      description += SystemErrorText(code);
    } else {
      // The system's text for the server's own number would describe some other error.
      const std::wstring server =
          hasSource ? std::wstring(info.bstrSource) : name_.substr(0, name_.find(L'.'));
      description = UndescribedServerError(server, code);
    }
    return RuntimeError(code, description, kCallOperation, Describe(member));
  }

  ComPtr<IDispatch> dispatch_;
  std::wstring name_;
};

}  // namespace

std::unique_ptr<AutomationObject> CreateAutomationObject(std::wstring_view progId) {
  const std::wstring id(progId);
  constexpr wchar_t kCreateOperation[] = L"オートメーション オブジェクトの作成";
  CLSID clsid{};
  HRESULT hr = ole::CLSIDFromProgID(id.c_str(), &clsid);
  if (FAILED(hr)) throw ComError(hr, L"CLSIDFromProgID", kCreateOperation, id);
  ComPtr<IDispatch> dispatch;
  hr = ole::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&dispatch));
  if (FAILED(hr)) throw ComError(hr, L"CoCreateInstance", kCreateOperation, id);
  // The server runs in a process of its own, which may not take the foreground from us unless
  // allowed: a macro's message or the program's own first-run prompt would open behind our window.
  // Not being able to allow it changes where a window opens, not what happens.
  (void)ole::CoAllowSetForegroundWindow(dispatch.Get(), nullptr);
  return std::make_unique<DispatchObject>(std::move(dispatch), id);
}

std::unique_ptr<AutomationObject> AutomationObjectFor(IDispatch* dispatch, std::wstring name) {
  return std::make_unique<DispatchObject>(ComPtr<IDispatch>(dispatch), std::move(name));
}

}  // namespace velmor::win32
