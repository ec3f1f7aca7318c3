#pragma once

// The groundwork of the automation objects: a hand-written IDispatch that maps member names to
// DISPIDs, checks how a member is invoked and hands the arguments over in call order, plus the
// count of live objects that decides when the server process may end.

#include <oaidl.h>
#include <windows.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ComObject.h"

namespace excel {

// The HRESULT an automation client sees for an error raised by the application ("1004").
inline constexpr HRESULT kApplicationError = static_cast<HRESULT>(0x800A03ECu);

// Every live automation object and every IClassFactory::LockServer lock holds one count. When the
// count falls to zero the idle handler runs, which lets the server decide whether to end.
namespace server_lock {
void Add();
void Release();
long Count();
void SetIdleHandler(void (*handler)());
}  // namespace server_lock

// Fills *info (when the caller asked for it) and returns DISP_E_EXCEPTION.
HRESULT RaiseError(EXCEPINFO* info, std::wstring_view source, std::wstring_view description,
                   HRESULT code);

struct Member {
  std::wstring_view name;
  DISPID id;
  WORD kinds;  // DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT and/or DISPATCH_METHOD
};

// The arguments of one call in the order the caller wrote them (DISPPARAMS holds them reversed).
class Arguments {
 public:
  explicit Arguments(const DISPPARAMS& params) : params_(params) {}

  // Positional arguments; for a property put the assigned value is not among them.
  UINT Count() const { return params_.cArgs - params_.cNamedArgs; }
  // The value assigned by a property put.
  const VARIANT& PutValue() const { return params_.rgvarg[0]; }
  // A positional argument counts as missing when left out (VT_ERROR with DISP_E_PARAMNOTFOUND).
  bool IsMissing(UINT index) const;
  // The argument converted to text, or nullopt when it is missing. Fails with DISP_E_TYPEMISMATCH
  // (and the argument's position in *badArg) when it cannot be converted.
  HRESULT Texts(std::vector<std::optional<std::wstring>>* texts, UINT* badArg) const;

 private:
  const VARIANT& At(UINT index) const { return params_.rgvarg[params_.cArgs - 1 - index]; }

  const DISPPARAMS& params_;
};

// Converts any variant (by reference or not) to text or to a boolean.
HRESULT VariantToText(const VARIANT& value, std::wstring* text);
HRESULT VariantToBool(const VARIANT& value, bool* result);

struct Call {
  DISPID id;
  bool put;  // a property put; otherwise a property get or a method call
  Arguments args;
  VARIANT* result;  // never null; may stay VT_EMPTY
  EXCEPINFO* error;
  UINT* badArg;
};

class DispatchObject : public velmor::win32::ComObject<IDispatch> {
 public:
  DispatchObject();
  ~DispatchObject() override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* error,
                                   UINT* badArg) override;

 protected:
  virtual std::span<const Member> Members() const = 0;
  // Runs a call whose member, kind of invocation and named arguments were already checked.
  virtual HRESULT Dispatch(Call& call) = 0;
  // Whether the server turns a call of this member away, unrun, as a busy application does
  // (GetIDsOfNames and Invoke then answer RPC_E_CALL_REJECTED).
  virtual bool TurnAway(std::wstring_view /*member*/) { return false; }
  // Runs once a call has done its work, before its answer leaves.
  virtual void BeforeAnswer(std::wstring_view /*member*/) {}

 private:
};

}  // namespace excel
