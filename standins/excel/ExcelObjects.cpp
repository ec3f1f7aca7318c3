#include "ExcelObjects.h"

#include <cwchar>
#include <optional>
#include <utility>

#include "AddinRegistry.h"
#include "ComObject.h"
#include "ComOwners.h"
#include "Dispatch.h"
#include "StandinFiles.h"
#include "Text.h"

namespace excel {
namespace {

using Microsoft::WRL::ComPtr;

// Errors the application itself raises carry this source.
constexpr std::wstring_view kApplicationSource = L"Microsoft Excel";
constexpr UINT kMostOpenArguments = 15;  // Filename and 14 optional ones
constexpr UINT kMostRunArguments = 31;   // the macro name and 30 arguments

// New objects start with no reference; the ComPtr takes the first one.
template <class T, class... Args>
ComPtr<T> Make(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

void ReturnText(VARIANT* result, std::wstring_view text) {
  V_VT(result) = VT_BSTR;
  V_BSTR(result) = velmor::win32::MakeBstr(text).release();
}

void ReturnBool(VARIANT* result, bool value) {
  V_VT(result) = VT_BOOL;
  V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void ReturnObject(VARIANT* result, IDispatch* object) {
  object->AddRef();
  V_VT(result) = VT_DISPATCH;
  V_DISPATCH(result) = object;
}

std::wstring FullPath(const std::wstring& path) {
  if (path.empty()) return path;
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
}

std::wstring FileName(std::wstring_view path) {
  const auto slash = path.find_last_of(L"\\/");
  return std::wstring(slash == std::wstring_view::npos ? path : path.substr(slash + 1));
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

struct State;

// An object of one Application: it follows the orders that concern every call (busy_ms, end_in).
// It does not keep the state alive: the state holds the open workbooks.
class ServedObject : public DispatchObject {
 public:
  explicit ServedObject(const std::shared_ptr<State>& state) : served_(state) {}

 protected:
  bool TurnAway(std::wstring_view member) override;
  void BeforeAnswer(std::wstring_view member) override;

 private:
  std::weak_ptr<State> served_;
};

class Workbook final : public ServedObject {
 public:
  Workbook(const std::shared_ptr<State>& state, std::wstring name, std::wstring fullName)
      : ServedObject(state), name_(std::move(name)), fullName_(std::move(fullName)) {}

  const std::wstring& Name() const { return name_; }
  const std::wstring& FullName() const { return fullName_; }

 protected:
  enum : DISPID { kName = 1, kFullName };

  std::span<const Member> Members() const override {
    static constexpr Member members[] = {
        {L"Name", kName, DISPATCH_PROPERTYGET},
        {L"FullName", kFullName, DISPATCH_PROPERTYGET},
    };
    return members;
  }

  HRESULT Dispatch(Call& call) override {
    if (call.args.Count() != 0) return DISP_E_BADPARAMCOUNT;
    ReturnText(call.result, call.id == kName ? name_ : fullName_);
    return S_OK;
  }

 private:
  std::wstring name_;
  std::wstring fullName_;
};

// What one Application and its Workbooks collection share.
struct State {
  explicit State(Environment env) : environment(std::move(env)) {}

  void Journal(std::wstring_view text) const {
    if (environment.journal) environment.journal(text);
  }

  bool HasOrder(std::wstring_view key, std::wstring_view value) const {
    if (!environment.orders) return false;
    for (const std::wstring& given : environment.orders(key)) {
      if (EqualsIgnoringCase(given, value)) return true;
    }
    return false;
  }

  std::wstring Order(std::wstring_view key) const {
    if (!environment.orders) return {};
    const std::vector<std::wstring> values = environment.orders(key);
    return values.empty() ? std::wstring() : values.back();
  }

  // The last value of key as a number of milliseconds; 0 when not given or not a number.
  DWORD OrderMs(std::wstring_view key) const {
    const std::wstring text = Order(key);
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(text.c_str(), &end, 10);
    return text.empty() || *end != L'\0' ? 0 : static_cast<DWORD>(value);
  }

  bool Busy(std::wstring_view member) {
    if (!environment.clock) return false;
    const ULONGLONG now = environment.clock();
    if (!firstCall) firstCall = now;
    const DWORD busyMs = OrderMs(L"busy_ms");
    if (busyMs == 0 || now - *firstCall >= busyMs) return false;
    // Turned-away calls are marked apart, so that the journal still shows each call once as run.
    Journal(L"#rejected " + std::wstring(member));
    return true;
  }

  void EndIfOrdered(std::wstring_view member) const {
    if (!HasOrder(L"end_in", member)) return;
    Journal(L"#end inside " + std::wstring(member));
    if (environment.endProcess) environment.endProcess();
  }

  void CloseAll() {
    workbooks.clear();
    WorkbooksChanged();
  }

  void WorkbooksChanged() const {
    if (environment.view == nullptr) return;
    std::vector<std::wstring> names;
    for (const auto& workbook : workbooks) names.push_back(workbook->FullName());
    environment.view->ListWorkbooks(names);
  }

  Environment environment;
  std::optional<ULONGLONG> firstCall;
  bool visible = false;  // used when there is no view to ask
  bool displayAlerts = true;
  std::vector<ComPtr<Workbook>> workbooks;
};

bool ServedObject::TurnAway(std::wstring_view member) {
  const auto state = served_.lock();
  return state && state->Busy(member);
}

void ServedObject::BeforeAnswer(std::wstring_view member) {
  if (const auto state = served_.lock()) state->EndIfOrdered(member);
}

class Workbooks final : public ServedObject {
 public:
  explicit Workbooks(std::shared_ptr<State> state)
      : ServedObject(state), state_(std::move(state)) {}

 protected:
  enum : DISPID { kOpen = 1, kClose, kCount };

  std::span<const Member> Members() const override {
    static constexpr Member members[] = {
        {L"Open", kOpen, DISPATCH_METHOD},
        {L"Close", kClose, DISPATCH_METHOD},
        {L"Count", kCount, DISPATCH_PROPERTYGET},
    };
    return members;
  }

  HRESULT Dispatch(Call& call) override {
    switch (call.id) {
      case kOpen:
        return Open(call);
      case kClose:
        if (call.args.Count() != 0) return DISP_E_BADPARAMCOUNT;
        state_->Journal(L"Close");
        state_->CloseAll();
        return S_OK;
      default:
        if (call.args.Count() != 0) return DISP_E_BADPARAMCOUNT;
        V_VT(call.result) = VT_I4;
        V_I4(call.result) = static_cast<LONG>(state_->workbooks.size());
        return S_OK;
    }
  }

 private:
  HRESULT Open(Call& call) {
    if (call.args.Count() < 1 || call.args.Count() > kMostOpenArguments) {
      return DISP_E_BADPARAMCOUNT;
    }
    std::vector<std::optional<std::wstring>> texts;
    const HRESULT hr = call.args.Texts(&texts, call.badArg);
    if (FAILED(hr)) return hr;
    if (!texts[0]) return DISP_E_PARAMNOTOPTIONAL;
    state_->Journal(CallLine(L"Open", texts));

    const std::wstring& path = *texts[0];
    if (state_->HasOrder(L"fail", L"Open")) {
      return RaiseError(call.error, kApplicationSource,
                        L"The file \"" + path + L"\" could not be opened.", kApplicationError);
    }
    const std::wstring fullName = FullPath(path);
    if (!IsFile(fullName)) {
      return RaiseError(call.error, kApplicationSource,
                        L"Cannot find \"" + path +
                            L"\". Check that the file exists and that its name and folder are "
                            L"spelled correctly.",
                        kApplicationError);
    }
    // Opening a workbook that is already open hands back the open one.
    for (const auto& workbook : state_->workbooks) {
      if (EqualsIgnoringCase(workbook->FullName(), fullName)) {
        ReturnObject(call.result, workbook.Get());
        return S_OK;
      }
    }
    auto workbook = Make<Workbook>(state_, FileName(fullName), fullName);
    state_->workbooks.push_back(workbook);
    state_->WorkbooksChanged();
    ReturnObject(call.result, workbook.Get());
    return S_OK;
  }

  std::shared_ptr<State> state_;
};

enum class Macro { kInstall, kUninstall };

class Application final : public ServedObject {
 public:
  explicit Application(Environment environment)
      : Application(std::make_shared<State>(std::move(environment))) {}
  explicit Application(std::shared_ptr<State> state)
      : ServedObject(state), state_(std::move(state)), workbooks_(Make<Workbooks>(state_)) {}

 protected:
  enum : DISPID { kVisible = 1, kDisplayAlerts, kWorkbooks, kRun, kQuit };

  std::span<const Member> Members() const override {
    static constexpr Member members[] = {
        {L"Visible", kVisible, DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT},
        {L"DisplayAlerts", kDisplayAlerts, DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT},
        {L"Workbooks", kWorkbooks, DISPATCH_PROPERTYGET},
        {L"Run", kRun, DISPATCH_METHOD},
        {L"Quit", kQuit, DISPATCH_METHOD},
    };
    return members;
  }

  HRESULT Dispatch(Call& call) override {
    switch (call.id) {
      case kVisible:
      case kDisplayAlerts:
        return Flag(call);
      case kWorkbooks:
        if (call.args.Count() != 0) return DISP_E_BADPARAMCOUNT;
        state_->Journal(L"Workbooks");
        ReturnObject(call.result, workbooks_.Get());
        return S_OK;
      case kRun:
        return Run(call);
      default:
        if (call.args.Count() != 0) return DISP_E_BADPARAMCOUNT;
        state_->Journal(L"Quit");
        state_->CloseAll();
        Show(false);
        return S_OK;
    }
  }

 private:
  bool Shown() const {
    const ApplicationView* view = state_->environment.view;
    return view != nullptr ? view->IsShown() : state_->visible;
  }

  void Show(bool visible) {
    state_->visible = visible;
    if (state_->environment.view != nullptr) state_->environment.view->Show(visible);
  }

  HRESULT Flag(Call& call) {
    if (call.args.Count() != 0) return DISP_E_BADPARAMCOUNT;
    const bool visible = call.id == kVisible;
    if (!call.put) {
      ReturnBool(call.result, visible ? Shown() : state_->displayAlerts);
      return S_OK;
    }
    bool value = false;
    if (FAILED(VariantToBool(call.args.PutValue(), &value))) {
      if (call.badArg != nullptr) *call.badArg = 0;
      return DISP_E_TYPEMISMATCH;
    }
    state_->Journal(std::wstring(visible ? L"Visible=" : L"DisplayAlerts=") +
                    (value ? L"True" : L"False"));
    if (visible) {
      Show(value);
    } else {
      state_->displayAlerts = value;
    }
    return S_OK;
  }

  HRESULT NotAvailable(Call& call, std::wstring_view name) {
    return RaiseError(call.error, kApplicationSource,
                      L"The macro \"" + std::wstring(name) +
                          L"\" cannot be run. It is not available in any open workbook, or "
                          L"macros are disabled.",
                      kApplicationError);
  }

  // Finds the macro a Run names, plain ("Addin_Install"), with its module ("Module1.Addin_Install")
  // or with its workbook ("'Velmor_Tool.xls'!Addin_Install"), and the workbook it lives in.
  std::optional<Macro> FindMacro(std::wstring_view name, std::wstring* workbook) const {
    if (state_->workbooks.empty()) return std::nullopt;
    *workbook = state_->workbooks.front()->Name();
    const auto bang = name.rfind(L'!');
    if (bang != std::wstring_view::npos) {
      std::wstring_view book = name.substr(0, bang);
      if (book.size() >= 2 && book.front() == L'\'' && book.back() == L'\'') {
        book = book.substr(1, book.size() - 2);
      }
      bool open = false;
      for (const auto& candidate : state_->workbooks)
        open = open || EqualsIgnoringCase(candidate->Name(), book);
      if (!open) return std::nullopt;
      *workbook = std::wstring(book);
      name = name.substr(bang + 1);
    }
    const auto dot = name.rfind(L'.');
    if (dot != std::wstring_view::npos) name = name.substr(dot + 1);
    if (EqualsIgnoringCase(name, L"Addin_Install")) return Macro::kInstall;
    if (EqualsIgnoringCase(name, L"Addin_UnInstall")) return Macro::kUninstall;
    return std::nullopt;
  }

  HRESULT Run(Call& call) {
    if (call.args.Count() < 1 || call.args.Count() > kMostRunArguments) {
      return DISP_E_BADPARAMCOUNT;
    }
    std::vector<std::optional<std::wstring>> texts;
    const HRESULT hr = call.args.Texts(&texts, call.badArg);
    if (FAILED(hr)) return hr;
    state_->Journal(CallLine(L"Run", texts));

    const std::wstring name = texts[0].value_or(L"");
    std::wstring workbook;
    const std::optional<Macro> macro = FindMacro(name, &workbook);
    if (state_->HasOrder(L"fail", L"Run") || !macro) return NotAvailable(call, name);

    const DWORD delayMs = state_->OrderMs(L"macro_delay_ms");
    if (delayMs > 0 && state_->environment.sleep) state_->environment.sleep(delayMs);
    const std::wstring raised = state_->Order(L"macro_error");
    if (!raised.empty()) return RaiseError(call.error, workbook, raised, kApplicationError);

    // Arguments left out at the end are not passed to the macro; one left out before a given one
    // is, and the macro has no default for it.
    while (texts.size() > 1 && !texts.back()) texts.pop_back();
    if (texts.size() != 3 || !texts[1] || !texts[2]) {
      return RaiseError(call.error, workbook,
                        L"Wrong number of arguments: \"" + name +
                            L"\" takes the add-in folder and the add-in base name.",
                        kApplicationError);
    }
    const Environment& environment = state_->environment;
    const std::wstring path = AddinPath(*texts[1], *texts[2]);
    const LSTATUS status = macro == Macro::kInstall
                               ? InstallAddin(environment.addinRoot, environment.addinKey, path)
                               : UninstallAddin(environment.addinRoot, environment.addinKey, path);
    if (status != ERROR_SUCCESS) {
      return RaiseError(call.error, workbook,
                        L"The list of add-ins could not be changed for \"" + path + L"\" (error " +
                            std::to_wstring(status) + L").",
                        kApplicationError);
    }
    return S_OK;
  }

  std::shared_ptr<State> state_;
  ComPtr<Workbooks> workbooks_;
};

class ClassFactory final : public velmor::win32::ComObject<IClassFactory> {
 public:
  explicit ClassFactory(Environment environment) : environment_(std::move(environment)) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return velmor::win32::ComBorder(
        [&] { return CreateApplication(environment_)->QueryInterface(riid, object); });
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      server_lock::Add();
    } else {
      server_lock::Release();
    }
    return S_OK;
  }

 private:
  Environment environment_;
};

}  // namespace

Environment ServerEnvironment(ApplicationView* view) {
  Environment environment;
  environment.journal = [](std::wstring_view text) { standins::Journal(L"excel", text); };
  environment.orders = [](std::wstring_view key) { return standins::Orders(L"excel", key); };
  environment.addinRoot = HKEY_CURRENT_USER;
  environment.addinKey = std::wstring(kOptionsKey);
  environment.view = view;
  environment.clock = [] { return GetTickCount64(); };
  environment.sleep = [](DWORD milliseconds) { Sleep(milliseconds); };
  // Ended at once, with no goodbye to COM: the client is left waiting for an answer that never
  // comes, as with a crashed application.
  environment.endProcess = [] { TerminateProcess(GetCurrentProcess(), 3); };
  return environment;
}

ComPtr<IDispatch> CreateApplication(const Environment& environment) {
  return Make<Application>(environment);
}

ComPtr<IClassFactory> CreateClassFactory(Environment environment) {
  return Make<ClassFactory>(std::move(environment));
}

}  // namespace excel
