#include "Dispatch.h"

#include "ComOwners.h"
#include "Text.h"

namespace excel {

using velmor::win32::MakeBstr;
using velmor::win32::UniqueVariant;

namespace server_lock {
namespace {
long count = 0;
void (*idleHandler)() = nullptr;
}  // namespace

// All objects live in one single-threaded apartment, so the count needs no interlocking.
void Add() { ++count; }
void Release() {
  if (--count == 0 && idleHandler != nullptr) idleHandler();
}
long Count() { return count; }
void SetIdleHandler(void (*handler)()) { idleHandler = handler; }
}  // namespace server_lock

HRESULT RaiseError(EXCEPINFO* info, std::wstring_view source, std::wstring_view description,
                   HRESULT code) {
  if (info != nullptr) {
    *info = EXCEPINFO{};
    info->bstrSource = MakeBstr(source).release();
    info->bstrDescription = MakeBstr(description).release();
    info->scode = code;
  }
  return DISP_E_EXCEPTION;
}

namespace {

bool IsMissingValue(const VARIANT& value) {
  const VARIANT* target = &value;
  if (V_VT(target) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(target) != nullptr) {
    target = V_VARIANTREF(target);
  }
  if (V_VT(target) == VT_ERROR) return V_ERROR(target) == DISP_E_PARAMNOTFOUND;
  if (V_VT(target) == (VT_ERROR | VT_BYREF) && V_ERRORREF(target) != nullptr) {
    return *V_ERRORREF(target) == DISP_E_PARAMNOTFOUND;
  }
  return false;
}

HRESULT ConvertTo(const VARIANT& value, VARTYPE type, UniqueVariant* out) {
  UniqueVariant plain;
  HRESULT hr = VariantCopyInd(plain.put(), const_cast<VARIANT*>(&value));
  if (FAILED(hr)) return hr;
  // Booleans read as "True"/"False", the way the application shows them.
  hr = VariantChangeType(out->put(), plain.get(), VARIANT_ALPHABOOL, type);
  return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

}  // namespace

HRESULT VariantToText(const VARIANT& value, std::wstring* text) {
  UniqueVariant converted;
  const HRESULT hr = ConvertTo(value, VT_BSTR, &converted);
  if (FAILED(hr)) return hr;
  const BSTR bstr = V_BSTR(converted.get());
  *text = bstr ? std::wstring(bstr, SysStringLen(bstr)) : std::wstring();
  return S_OK;
}

HRESULT VariantToBool(const VARIANT& value, bool* result) {
  UniqueVariant converted;
  const HRESULT hr = ConvertTo(value, VT_BOOL, &converted);
  if (FAILED(hr)) return hr;
  *result = V_BOOL(converted.get()) != VARIANT_FALSE;
  return S_OK;
}

bool Arguments::IsMissing(UINT index) const {
  return index >= Count() || IsMissingValue(At(index));
}

HRESULT Arguments::Texts(std::vector<std::optional<std::wstring>>* texts, UINT* badArg) const {
  texts->clear();
  for (UINT i = 0; i < Count(); ++i) {
    if (IsMissing(i)) {
      texts->push_back(std::nullopt);
      continue;
    }
    std::wstring text;
    const HRESULT hr = VariantToText(At(i), &text);
    if (FAILED(hr)) {
      if (badArg != nullptr) *badArg = params_.cArgs - 1 - i;
      return hr;
    }
    texts->push_back(std::move(text));
  }
  return S_OK;
}

DispatchObject::DispatchObject() { server_lock::Add(); }

DispatchObject::~DispatchObject() { server_lock::Release(); }

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  // The journal, the orders and the arguments all allocate; nothing may unwind into COM's stub.
  return velmor::win32::ComBorder([&]() -> HRESULT {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return S_OK;
    if (names == nullptr || ids == nullptr) return E_POINTER;
    // Only member names are known; named parameters are not supported.
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
    if (TurnAway(names[0])) return RPC_E_CALL_REJECTED;
    for (const Member& member : Members()) {
      if (EqualsIgnoringCase(member.name, names[0])) {
        ids[0] = member.id;
        return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
      }
    }
    return DISP_E_UNKNOWNNAME;
  });
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* error, UINT* badArg) {
  // The journal, the orders and the arguments all allocate; nothing may unwind into COM's stub.
  return velmor::win32::ComBorder([&]() -> HRESULT {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    const Member* found = nullptr;
    for (const Member& member : Members()) {
      if (member.id == id) found = &member;
    }
    if (found == nullptr || (flags & found->kinds) == 0) return DISP_E_MEMBERNOTFOUND;
    // Under Wine a server's message filter cannot stop a call (SERVERCALL_RETRYLATER still runs
    // it), so a busy server fails the call itself.
    if (TurnAway(found->name)) return RPC_E_CALL_REJECTED;

    DISPPARAMS none{};
    if (params == nullptr) params = &none;
    if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;
    if ((params->cArgs > 0 && params->rgvarg == nullptr) ||
        (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr)) {
      return E_INVALIDARG;
    }
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put) {
      // The assigned value travels as the one named argument DISPID_PROPERTYPUT.
      if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return DISP_E_PARAMNOTFOUND;
      }
    } else if (params->cNamedArgs != 0) {
      return DISP_E_NONAMEDARGS;
    }

    UniqueVariant discarded;
    VARIANT* target = result != nullptr ? result : discarded.get();
    VariantInit(target);
    Call call{id, put, Arguments(*params), target, error, badArg};
    const HRESULT hr = Dispatch(call);
    BeforeAnswer(found->name);
    return hr;
  });
}

}  // namespace excel
