// In-process tests of the Excel stand-in: the automation objects driven through IDispatch exactly
// as a client drives them, the add-in list in the registry and the class registration. Registry
// work happens under HKCU\Software\VelmorExcelStandinTests, which the tests remove again.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "AddinRegistry.h"
#include "ComOwners.h"
#include "Dispatch.h"
#include "ExcelObjects.h"
#include "Handles.h"
#include "LongPath.h"
#include "Registration.h"
#include "StandinFiles.h"
#include "Text.h"

namespace {

using Microsoft::WRL::ComPtr;
using namespace excel;
using velmor::win32::MakeBstr;
using velmor::win32::UniqueBstr;
using velmor::win32::UniqueHandle;
using velmor::win32::UniqueHkey;
using velmor::win32::UniqueVariant;

const wchar_t kTestRoot[] = L"Software\\VelmorExcelStandinTests";
const wchar_t kTestOptions[] = L"Software\\VelmorExcelStandinTests\\Options";

void RemoveTestKeys() { RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }

std::map<std::wstring, std::wstring> OptionValues() {
  std::map<std::wstring, std::wstring> values;
  UniqueHkey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kTestOptions, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return values;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    wchar_t data[1024];
    DWORD nameSize = 256;
    DWORD dataSize = sizeof(data);
    DWORD type = 0;
    if (RegEnumValueW(key.get(), i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data),
                      &dataSize) != ERROR_SUCCESS) {
      break;
    }
    values[name] = type == REG_SZ ? std::wstring(data) : L"<not text>";
  }
  return values;
}

void SetOption(const wchar_t* name, const std::wstring& data) {
  UniqueHkey key;
  RegCreateKeyExW(HKEY_CURRENT_USER, kTestOptions, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                  nullptr);
  RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

class FakeView final : public ApplicationView {
 public:
  void Show(bool visible) override { shown = visible; }
  bool IsShown() const override { return shown; }
  void ListWorkbooks(const std::vector<std::wstring>& fullNames) override { listed = fullNames; }

  bool shown = false;
  std::vector<std::wstring> listed;
};

// An Application with a journal, orders and a view the test can look at.
struct Fixture {
  Fixture() {
    RemoveTestKeys();
    Environment environment;
    environment.journal = [this](std::wstring_view line) { journal.emplace_back(line); };
    environment.orders = [this](std::wstring_view key) { return orders[std::wstring(key)]; };
    environment.addinRoot = HKEY_CURRENT_USER;
    environment.addinKey = kTestOptions;
    environment.view = &view;
    environment.clock = [this] { return now; };
    environment.sleep = [this](DWORD milliseconds) {
      journal.push_back(L"(slept " + std::to_wstring(milliseconds) + L" ms)");
    };
    environment.endProcess = [this] { journal.emplace_back(L"(ended)"); };
    application = CreateApplication(environment);
  }
  ~Fixture() { RemoveTestKeys(); }

  ULONGLONG now = 1000;
  std::vector<std::wstring> journal;
  std::map<std::wstring, std::vector<std::wstring>> orders;
  FakeView view;
  ComPtr<IDispatch> application;
};

// One argument as a client passes it.
struct Arg {
  enum Kind { kText, kTextByRef, kMissing, kInt, kObject } kind;
  std::wstring text;
  int number = 0;
  IDispatch* object = nullptr;
};
Arg Text(std::wstring text) { return {Arg::kText, std::move(text)}; }
Arg TextByRef(std::wstring text) { return {Arg::kTextByRef, std::move(text)}; }
Arg Missing() { return {Arg::kMissing, L""}; }
Arg Int(int number) { return {Arg::kInt, L"", number}; }
Arg Object(IDispatch* object) { return {Arg::kObject, L"", 0, object}; }

struct Reply {
  HRESULT hr = E_FAIL;
  UniqueVariant value;
  std::wstring source;
  std::wstring description;
  SCODE scode = 0;
  UINT badArg = ~0u;

  std::wstring TextValue() const {
    return V_VT(value.get()) == VT_BSTR ? std::wstring(V_BSTR(value.get())) : L"<not text>";
  }
};

std::wstring TextOf(const UniqueBstr& text) {
  return text ? std::wstring(text.get(), SysStringLen(text.get())) : L"";
}

enum class Named { kNone, kPropertyPut };

// Invokes a member by name with the arguments in call order; DISPPARAMS gets them reversed.
void Invoke(IDispatch* object, const wchar_t* name, WORD flags, const std::vector<Arg>& args,
            Reply* reply, Named named = Named::kNone) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  reply->hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(reply->hr)) return;

  std::vector<UniqueBstr> strings;  // what by-reference arguments point at
  strings.reserve(args.size());
  std::vector<VARIANT> values(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    VARIANT& value = values[args.size() - 1 - i];
    VariantInit(&value);
    const Arg& arg = args[i];
    switch (arg.kind) {
      case Arg::kText:
      case Arg::kTextByRef:
        strings.push_back(MakeBstr(arg.text));
        if (arg.kind == Arg::kText) {
          V_VT(&value) = VT_BSTR;
          V_BSTR(&value) = strings.back().get();
        } else {
          V_VT(&value) = VT_BSTR | VT_BYREF;
          V_BSTRREF(&value) = strings.back().address();
        }
        break;
      case Arg::kMissing:
        V_VT(&value) = VT_ERROR;
        V_ERROR(&value) = DISP_E_PARAMNOTFOUND;
        break;
      case Arg::kInt:
        V_VT(&value) = VT_I4;
        V_I4(&value) = arg.number;
        break;
      case Arg::kObject:
        V_VT(&value) = VT_DISPATCH;
        V_DISPATCH(&value) = arg.object;
        break;
    }
  }
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{values.data(), named == Named::kPropertyPut ? &putId : nullptr,
                    static_cast<UINT>(values.size()), named == Named::kPropertyPut ? 1u : 0u};
  EXCEPINFO error{};
  reply->hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, reply->value.put(),
                             &error, &reply->badArg);
  const UniqueBstr source(error.bstrSource);
  const UniqueBstr description(error.bstrDescription);
  const UniqueBstr helpFile(error.bstrHelpFile);
  reply->source = TextOf(source);
  reply->description = TextOf(description);
  reply->scode = error.scode;
}

Reply Get(IDispatch* object, const wchar_t* name, WORD flags = DISPATCH_PROPERTYGET) {
  Reply reply;
  Invoke(object, name, flags, {}, &reply);
  return reply;
}

Reply Call(IDispatch* object, const wchar_t* name, const std::vector<Arg>& args) {
  Reply reply;
  Invoke(object, name, DISPATCH_METHOD, args, &reply);
  return reply;
}

Reply Put(IDispatch* object, const wchar_t* name, Arg value, Named named = Named::kPropertyPut) {
  Reply reply;
  Invoke(object, name, DISPATCH_PROPERTYPUT, {std::move(value)}, &reply, named);
  return reply;
}

ComPtr<IDispatch> ObjectOf(const Reply& reply) {
  if (V_VT(reply.value.get()) != VT_DISPATCH) return nullptr;
  return ComPtr<IDispatch>(V_DISPATCH(reply.value.get()));
}

bool IsApplicationError(const Reply& reply, std::wstring_view source) {
  return reply.hr == DISP_E_EXCEPTION && reply.scode == kApplicationError &&
         reply.source == source && !reply.description.empty();
}

bool Contains(const std::wstring& text, std::wstring_view part) {
  return text.find(part) != std::wstring::npos;
}

// A workbook file in the temporary folder, removed again at the end.
struct TempWorkbook {
  TempWorkbook() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    directory = std::wstring(folder) + L"VelmorExcelStandinTests";
    CreateDirectoryW(directory.c_str(), nullptr);
    path = directory + L"\\Velmor_Tool.xls";
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  ~TempWorkbook() {
    DeleteFileW(path.c_str());
    RemoveDirectoryW(directory.c_str());
  }
  std::wstring directory;
  std::wstring path;
};

TEST(ExcelStandin, CallLines) {
  EXPECT_TRUE(CallLine(L"Run", {L"Addin_Install", L"C:\\Velmor", L"TorvaneEx"}) ==
              L"Run(\"Addin_Install\", \"C:\\Velmor\", \"TorvaneEx\")");
  EXPECT_TRUE(CallLine(L"Open", {L"a.xls", std::nullopt, L"x"}) == L"Open(\"a.xls\", \"x\")");
  EXPECT_TRUE(CallLine(L"Run", {std::nullopt}) == L"Run()");
  EXPECT_TRUE(CallLine(L"Run", {L"say \"hi\""}) == L"Run(\"say \"\"hi\"\"\")");
}

TEST(ExcelStandin, OpenSeries) {
  EXPECT_TRUE(IsOpenName(L"OPEN") && IsOpenName(L"open") && IsOpenName(L"OPEN1") &&
              IsOpenName(L"Open12"));
  EXPECT_TRUE(!IsOpenName(L"OPEN01") && !IsOpenName(L"OPENX") && !IsOpenName(L"OPE") &&
              !IsOpenName(L"XOPEN") && !IsOpenName(L"OPEN1a"));
  EXPECT_TRUE(HoldsAddin(L"\"C:\\Velmor\\A.xla\"", L"c:\\velmor\\a.xla"));
  EXPECT_TRUE(HoldsAddin(L"C:\\Velmor\\A.xla", L"C:\\Velmor\\A.xla"));
  EXPECT_TRUE(!HoldsAddin(L"\"C:\\Velmor\\A.xla\" /R", L"C:\\Velmor\\A.xla"));
  EXPECT_TRUE(FirstFreeOpenName({}) == L"OPEN");
  EXPECT_TRUE(FirstFreeOpenName({{L"open", L""}, {L"OPEN2", L""}}) == L"OPEN1");
  EXPECT_TRUE(FirstFreeOpenName({{L"OPEN", L""}, {L"OPEN1", L""}, {L"Other", L""}}) == L"OPEN2");
  EXPECT_TRUE(AddinPath(L"C:\\Velmor", L"TorvaneEx") == L"C:\\Velmor\\TorvaneEx.xla");
}

TEST(ExcelStandin, AddinRegistry) {
  RemoveTestKeys();
  const std::wstring a = L"C:\\Velmor\\CordaleEx.xla";
  const std::wstring b = L"C:\\Velmor\\BriselEx.xla";
  const std::wstring c = L"C:\\Velmor\\MalvixEx.xla";
  SetOption(L"Other", L"\"C:\\Velmor\\BriselEx.xla\"");  // not part of the series

  EXPECT_TRUE(InstallAddin(HKEY_CURRENT_USER, kTestOptions, a) == ERROR_SUCCESS);
  EXPECT_TRUE(InstallAddin(HKEY_CURRENT_USER, kTestOptions, L"c:\\VELMOR\\cordaleex.XLA") ==
              ERROR_SUCCESS);
  EXPECT_TRUE(InstallAddin(HKEY_CURRENT_USER, kTestOptions, b) == ERROR_SUCCESS);
  auto values = OptionValues();
  EXPECT_TRUE(values.size() == 3);
  EXPECT_TRUE(values[L"OPEN"] == L"\"" + a + L"\"");
  EXPECT_TRUE(values[L"OPEN1"] == L"\"" + b + L"\"");

  // Removing the first leaves a gap that the next installation fills; nothing is renumbered.
  EXPECT_TRUE(UninstallAddin(HKEY_CURRENT_USER, kTestOptions, a) == ERROR_SUCCESS);
  values = OptionValues();
  EXPECT_TRUE(values.count(L"OPEN") == 0 && values[L"OPEN1"] == L"\"" + b + L"\"");
  EXPECT_TRUE(InstallAddin(HKEY_CURRENT_USER, kTestOptions, c) == ERROR_SUCCESS);
  values = OptionValues();
  EXPECT_TRUE(values[L"OPEN"] == L"\"" + c + L"\"" && values[L"OPEN1"] == L"\"" + b + L"\"");

  // An unquoted entry written by someone else counts; a value outside the series is left alone.
  SetOption(L"OPEN2", a);
  EXPECT_TRUE(InstallAddin(HKEY_CURRENT_USER, kTestOptions, a) == ERROR_SUCCESS);
  EXPECT_TRUE(OptionValues().size() == 4);
  EXPECT_TRUE(UninstallAddin(HKEY_CURRENT_USER, kTestOptions, b) == ERROR_SUCCESS);
  values = OptionValues();
  EXPECT_TRUE(values.count(L"OPEN1") == 0 && values[L"Other"] == L"\"" + b + L"\"");
  EXPECT_TRUE(values[L"OPEN2"] == a);

  RemoveTestKeys();
  EXPECT_TRUE(UninstallAddin(HKEY_CURRENT_USER, kTestOptions, a) == ERROR_SUCCESS);
}

TEST(ExcelStandin, NamesAndDispatchRules) {
  Fixture fixture;
  IDispatch* app = fixture.application.Get();
  UINT count = 7;
  EXPECT_TRUE(app->GetTypeInfoCount(&count) == S_OK && count == 0);

  DISPID upper = 0;
  DISPID lower = 0;
  LPOLESTR nameUpper[] = {const_cast<LPOLESTR>(L"WORKBOOKS")};
  LPOLESTR nameLower[] = {const_cast<LPOLESTR>(L"workbooks")};
  EXPECT_TRUE(app->GetIDsOfNames(IID_NULL, nameUpper, 1, 0, &upper) == S_OK);
  EXPECT_TRUE(app->GetIDsOfNames(IID_NULL, nameLower, 1, 0, &lower) == S_OK && upper == lower);
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"Calculate")};
  DISPID id = 0;
  EXPECT_TRUE(app->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id) == DISP_E_UNKNOWNNAME &&
              id == DISPID_UNKNOWN);
  LPOLESTR withParameter[] = {const_cast<LPOLESTR>(L"Run"), const_cast<LPOLESTR>(L"Macro")};
  DISPID ids[2] = {};
  EXPECT_TRUE(app->GetIDsOfNames(IID_NULL, withParameter, 2, 0, ids) == DISP_E_UNKNOWNNAME &&
              ids[0] != DISPID_UNKNOWN && ids[1] == DISPID_UNKNOWN);

  // A property put must carry its value as the named argument DISPID_PROPERTYPUT.
  EXPECT_TRUE(Put(app, L"Visible", Text(L"True"), Named::kNone).hr == DISP_E_PARAMNOTFOUND);
  EXPECT_TRUE(!fixture.view.shown && fixture.journal.empty());
  EXPECT_TRUE(Put(app, L"Visible", Int(-1)).hr == S_OK && fixture.view.shown);
  Reply visible = Get(app, L"Visible");
  EXPECT_TRUE(visible.hr == S_OK && V_VT(visible.value.get()) == VT_BOOL &&
              V_BOOL(visible.value.get()) == VARIANT_TRUE);
  EXPECT_TRUE(Put(app, L"DisplayAlerts", Text(L"False")).hr == S_OK);
  Reply alerts = Get(app, L"displayalerts");
  EXPECT_TRUE(V_VT(alerts.value.get()) == VT_BOOL && V_BOOL(alerts.value.get()) == VARIANT_FALSE);
  EXPECT_TRUE(Put(app, L"Visible", Text(L"maybe")).hr == DISP_E_TYPEMISMATCH);
  EXPECT_TRUE(Put(app, L"Workbooks", Int(1)).hr == DISP_E_MEMBERNOTFOUND);
  EXPECT_TRUE(fixture.journal ==
              std::vector<std::wstring>({L"Visible=True", L"DisplayAlerts=False"}));

  // Argument counts.
  EXPECT_TRUE(Call(app, L"Quit", {Int(1)}).hr == DISP_E_BADPARAMCOUNT);
  EXPECT_TRUE(Call(app, L"Run", {}).hr == DISP_E_BADPARAMCOUNT);
  EXPECT_TRUE(Call(app, L"Run", std::vector<Arg>(32, Text(L"x"))).hr == DISP_E_BADPARAMCOUNT);
  Reply books = Get(app, L"Workbooks");
  EXPECT_TRUE(books.hr == S_OK);
  ComPtr<IDispatch> workbooks = ObjectOf(books);
  ASSERT_TRUE(workbooks);
  EXPECT_TRUE(Call(workbooks.Get(), L"Open", {}).hr == DISP_E_BADPARAMCOUNT);
  EXPECT_TRUE(Call(workbooks.Get(), L"Open", std::vector<Arg>(16, Missing())).hr ==
              DISP_E_BADPARAMCOUNT);
  EXPECT_TRUE(Call(workbooks.Get(), L"Close", {Int(0)}).hr == DISP_E_BADPARAMCOUNT);
}

TEST(ExcelStandin, AnExceptionInsideACallIsAFailedCallNotAnUnwindIntoCom) {
  // A journal that cannot be written: first out of memory, then any other failure.
  bool outOfMemory = true;
  Environment environment;
  environment.journal = [&](std::wstring_view) {
    if (outOfMemory) throw std::bad_alloc();
    throw std::runtime_error("journal");
  };
  environment.orders = [](std::wstring_view) { return std::vector<std::wstring>(); };
  environment.addinRoot = HKEY_CURRENT_USER;
  environment.addinKey = kTestOptions;
  FakeView view;
  environment.view = &view;
  const ComPtr<IDispatch> app = CreateApplication(environment);
  EXPECT_EQ(Put(app.Get(), L"Visible", Text(L"True")).hr, E_OUTOFMEMORY);
  outOfMemory = false;
  EXPECT_EQ(Get(app.Get(), L"Workbooks").hr, E_UNEXPECTED);
  // The object is still whole and answers what needs no journal.
  UINT count = 7;
  EXPECT_EQ(app->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
}

TEST(ExcelStandin, WorkbooksProperty) {
  Fixture fixture;
  IDispatch* app = fixture.application.Get();
  Reply asProperty = Get(app, L"Workbooks");
  Reply asBoth = Get(app, L"Workbooks", DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  EXPECT_TRUE(asProperty.hr == S_OK && asBoth.hr == S_OK);
  EXPECT_TRUE(ObjectOf(asProperty) != nullptr && ObjectOf(asProperty) == ObjectOf(asBoth));
  EXPECT_TRUE(Get(app, L"Workbooks", DISPATCH_METHOD).hr == DISP_E_MEMBERNOTFOUND);
  EXPECT_TRUE(Get(app, L"Quit", DISPATCH_PROPERTYGET).hr == DISP_E_MEMBERNOTFOUND);
  EXPECT_TRUE(fixture.journal == std::vector<std::wstring>({L"Workbooks", L"Workbooks"}));
}

TEST(ExcelStandin, InstallSequence) {
  TempWorkbook file;
  Fixture fixture;
  IDispatch* app = fixture.application.Get();
  EXPECT_TRUE(Put(app, L"Visible", Text(L"True")).hr == S_OK);
  EXPECT_TRUE(Put(app, L"DisplayAlerts", Int(0)).hr == S_OK);
  ComPtr<IDispatch> workbooks = ObjectOf(Get(app, L"Workbooks"));
  ASSERT_TRUE(workbooks);

  Reply opened = Call(workbooks.Get(), L"Open", {Text(file.path), Missing(), Int(1)});
  EXPECT_TRUE(opened.hr == S_OK);
  ComPtr<IDispatch> workbook = ObjectOf(opened);
  ASSERT_TRUE(workbook);
  EXPECT_TRUE(Get(workbook.Get(), L"Name").TextValue() == L"Velmor_Tool.xls");
  EXPECT_TRUE(Get(workbook.Get(), L"FULLNAME").TextValue() == file.path);
  EXPECT_TRUE(fixture.view.listed == std::vector<std::wstring>({file.path}));
  Reply count = Get(workbooks.Get(), L"Count");
  EXPECT_TRUE(V_VT(count.value.get()) == VT_I4 && V_I4(count.value.get()) == 1);
  // Opening it again hands back the same workbook.
  EXPECT_TRUE(ObjectOf(Call(workbooks.Get(), L"Open", {Text(file.path)})) == workbook);

  Reply run = Call(app, L"Run",
                   {Text(L"Addin_Install"), TextByRef(L"C:\\Velmor"), TextByRef(L"TorvaneEx"),
                    Missing(), Missing()});
  EXPECT_TRUE(run.hr == S_OK && V_VT(run.value.get()) == VT_EMPTY);
  EXPECT_TRUE(OptionValues()[L"OPEN"] == L"\"C:\\Velmor\\TorvaneEx.xla\"");

  EXPECT_TRUE(Get(app, L"Workbooks").hr == S_OK);
  EXPECT_TRUE(Call(workbooks.Get(), L"Close", {}).hr == S_OK);
  count = Get(workbooks.Get(), L"Count");
  EXPECT_TRUE(V_I4(count.value.get()) == 0 && fixture.view.listed.empty());
  EXPECT_TRUE(Call(app, L"Quit", {}).hr == S_OK);
  EXPECT_TRUE(!fixture.view.shown);

  const std::vector<std::wstring> expected = {
      L"Visible=True",
      L"DisplayAlerts=False",
      L"Workbooks",
      L"Open(\"" + file.path + L"\", \"1\")",
      L"Open(\"" + file.path + L"\")",
      L"Run(\"Addin_Install\", \"C:\\Velmor\", \"TorvaneEx\")",
      L"Workbooks",
      L"Close",
      L"Quit",
  };
  EXPECT_TRUE(fixture.journal == expected);

  // The workbook the client still holds keeps answering after Close.
  EXPECT_TRUE(Get(workbook.Get(), L"Name").TextValue() == L"Velmor_Tool.xls");
}

TEST(ExcelStandin, Macros) {
  TempWorkbook file;
  Fixture fixture;
  IDispatch* app = fixture.application.Get();
  const auto run = [&](std::vector<Arg> args) { return Call(app, L"Run", args); };

  // Without an open workbook no macro exists.
  Reply closed = run({Text(L"Addin_Install"), Text(L"C:\\Velmor"), Text(L"BriselEx")});
  EXPECT_TRUE(IsApplicationError(closed, L"Microsoft Excel") &&
              Contains(closed.description, L"Addin_Install"));
  EXPECT_TRUE(OptionValues().empty());
  EXPECT_TRUE(fixture.journal.size() == 1);  // journalled although it failed

  ComPtr<IDispatch> workbooks = ObjectOf(Get(app, L"Workbooks"));
  ASSERT_TRUE(workbooks);
  EXPECT_TRUE(Call(workbooks.Get(), L"Open", {Text(file.path)}).hr == S_OK);

  EXPECT_TRUE(IsApplicationError(run({Text(L"Addin_Remove"), Text(L"C:\\Velmor"), Text(L"X")}),
                                 L"Microsoft Excel"));
  EXPECT_TRUE(IsApplicationError(
      run({Text(L"Other.xls!Addin_Install"), Text(L"C:\\V"), Text(L"X")}), L"Microsoft Excel"));
  EXPECT_TRUE(
      IsApplicationError(run({Text(L"Addin_Install"), Text(L"C:\\Velmor")}), L"Velmor_Tool.xls"));
  // A macro argument left out before a given one is still missing for the macro.
  EXPECT_TRUE(
      IsApplicationError(run({Text(L"Addin_Install"), Missing(), Text(L"X")}), L"Velmor_Tool.xls"));
  EXPECT_TRUE(OptionValues().empty());

  EXPECT_TRUE(run({Text(L"ADDIN_INSTALL"), Text(L"C:\\Velmor"), Text(L"BriselEx")}).hr == S_OK);
  EXPECT_TRUE(run({Text(L"'Velmor_Tool.xls'!Module1.Addin_Install"), Text(L"C:\\Velmor"),
                   Text(L"QuillonEx")})
                  .hr == S_OK);
  auto values = OptionValues();
  EXPECT_TRUE(values[L"OPEN"] == L"\"C:\\Velmor\\BriselEx.xla\"" &&
              values[L"OPEN1"] == L"\"C:\\Velmor\\QuillonEx.xla\"");
  EXPECT_TRUE(run({Text(L"addin_uninstall"), Text(L"C:\\Velmor"), Text(L"BriselEx")}).hr == S_OK);
  values = OptionValues();
  EXPECT_TRUE(values.size() == 1 && values.count(L"OPEN1") == 1);

  // An argument that cannot become text is refused, naming its position in DISPPARAMS.
  Reply odd = run({Text(L"Addin_Install"), Object(app), Text(L"X")});
  EXPECT_TRUE(odd.hr == DISP_E_TYPEMISMATCH && odd.badArg == 1);
}

TEST(ExcelStandin, OrdersAndMissingFile) {
  TempWorkbook file;
  Fixture fixture;
  IDispatch* app = fixture.application.Get();
  ComPtr<IDispatch> workbooks = ObjectOf(Get(app, L"Workbooks"));
  ASSERT_TRUE(workbooks);

  const std::wstring missing = file.directory + L"\\Nothing.xls";
  Reply absent = Call(workbooks.Get(), L"Open", {Text(missing)});
  EXPECT_TRUE(IsApplicationError(absent, L"Microsoft Excel") &&
              Contains(absent.description, missing));
  EXPECT_TRUE(IsApplicationError(Call(workbooks.Get(), L"Open", {Text(file.directory)}),
                                 L"Microsoft Excel"));

  fixture.orders[L"fail"] = {L"open"};
  Reply refused = Call(workbooks.Get(), L"Open", {Text(file.path)});
  EXPECT_TRUE(IsApplicationError(refused, L"Microsoft Excel") &&
              Contains(refused.description, file.path));
  fixture.orders.clear();
  EXPECT_TRUE(Call(workbooks.Get(), L"Open", {Text(file.path)}).hr == S_OK);

  const std::vector<Arg> install = {Text(L"Addin_Install"), Text(L"C:\\Velmor"), Text(L"MalvixEx")};
  fixture.orders[L"fail"] = {L"Open", L"Run"};
  EXPECT_TRUE(IsApplicationError(Call(app, L"Run", install), L"Microsoft Excel"));
  fixture.orders.clear();
  fixture.orders[L"macro_error"] = {L"Das Add-In fehlt: 失敗"};
  Reply raised = Call(app, L"Run", install);
  EXPECT_TRUE(raised.hr == DISP_E_EXCEPTION && raised.scode == kApplicationError &&
              raised.source == L"Velmor_Tool.xls" &&
              raised.description == L"Das Add-In fehlt: 失敗");
  EXPECT_TRUE(OptionValues().empty());

  const std::wstring runLine = L"Run(\"Addin_Install\", \"C:\\Velmor\", \"MalvixEx\")";
  EXPECT_TRUE(fixture.journal.size() == 7 && fixture.journal[1] == L"Open(\"" + missing + L"\")" &&
              fixture.journal[5] == runLine && fixture.journal[6] == runLine);
}

TEST(ExcelStandin, BusyServer) {
  TempWorkbook file;
  Fixture fixture;
  IDispatch* app = fixture.application.Get();
  fixture.orders[L"busy_ms"] = {L"3000"};
  ComPtr<IDispatch> workbooks;

  // Every call in the first 3 s from the first one is turned away unrun, name lookups included.
  for (const ULONGLONG at : {1000ull, 2500ull, 3999ull}) {
    fixture.now = at;
    EXPECT_TRUE(Put(app, L"Visible", Text(L"True")).hr == RPC_E_CALL_REJECTED);
    DISPID id = 0;
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"Run")};
    EXPECT_TRUE(app->GetIDsOfNames(IID_NULL, name, 1, 0, &id) == RPC_E_CALL_REJECTED);
  }
  EXPECT_TRUE(!fixture.view.shown);
  EXPECT_TRUE(std::count(fixture.journal.begin(), fixture.journal.end(), L"#rejected Visible") ==
              3);
  EXPECT_TRUE(std::count(fixture.journal.begin(), fixture.journal.end(), L"#rejected Run") == 3);
  EXPECT_TRUE(fixture.journal.size() == 6);

  fixture.now = 4000;
  EXPECT_TRUE(Put(app, L"Visible", Text(L"True")).hr == S_OK && fixture.view.shown);
  workbooks = ObjectOf(Get(app, L"Workbooks"));
  ASSERT_TRUE(workbooks);
  EXPECT_TRUE(Call(workbooks.Get(), L"Open", {Text(file.path)}).hr == S_OK);
  EXPECT_TRUE(fixture.journal.back() == L"Open(\"" + file.path + L"\")");

  // Measured from the first call, not from the first one of a new spell; a bad number means not
  // busy.
  fixture.orders[L"busy_ms"] = {L"5000"};
  EXPECT_TRUE(Call(workbooks.Get(), L"Close", {}).hr == RPC_E_CALL_REJECTED);
  EXPECT_TRUE(fixture.journal.back() == L"#rejected Close");
  fixture.orders[L"busy_ms"] = {L"5000x"};
  EXPECT_TRUE(Call(workbooks.Get(), L"Close", {}).hr == S_OK);
}

TEST(ExcelStandin, EndInsideACall) {
  TempWorkbook file;
  Fixture fixture;
  IDispatch* app = fixture.application.Get();
  fixture.orders[L"end_in"] = {L"Run", L"quit"};
  EXPECT_TRUE(Put(app, L"Visible", Text(L"True")).hr == S_OK);
  ComPtr<IDispatch> workbooks = ObjectOf(Get(app, L"Workbooks"));
  ASSERT_TRUE(workbooks);
  EXPECT_TRUE(Call(workbooks.Get(), L"Open", {Text(file.path)}).hr == S_OK);
  EXPECT_TRUE(fixture.journal.back() == L"Open(\"" + file.path + L"\")");

  // The call does its work and the server ends before answering.
  Call(app, L"Run", {Text(L"Addin_Install"), Text(L"C:\\Velmor"), Text(L"BriselEx")});
  EXPECT_TRUE(OptionValues()[L"OPEN"] == L"\"C:\\Velmor\\BriselEx.xla\"");
  Call(app, L"Quit", {});
  const std::vector<std::wstring> tail(fixture.journal.end() - 6, fixture.journal.end());
  EXPECT_TRUE(tail ==
              std::vector<std::wstring>({L"Run(\"Addin_Install\", \"C:\\Velmor\", \"BriselEx\")",
                                         L"#end inside Run", L"(ended)", L"Quit",
                                         L"#end inside Quit", L"(ended)"}));
  EXPECT_TRUE(std::count(fixture.journal.begin(), fixture.journal.end(), L"(ended)") == 2);
}

TEST(ExcelStandin, SlowMacro) {
  TempWorkbook file;
  Fixture fixture;
  IDispatch* app = fixture.application.Get();
  fixture.orders[L"macro_delay_ms"] = {L"1500"};
  ComPtr<IDispatch> workbooks = ObjectOf(Get(app, L"Workbooks"));
  ASSERT_TRUE(workbooks);
  EXPECT_TRUE(Call(workbooks.Get(), L"Open", {Text(file.path)}).hr == S_OK);
  EXPECT_TRUE(
      Call(app, L"Run", {Text(L"Addin_Install"), Text(L"C:\\Velmor"), Text(L"MalvixEx")}).hr ==
      S_OK);
  EXPECT_TRUE(Call(app, L"Quit", {}).hr == S_OK);
  EXPECT_TRUE(std::count(fixture.journal.begin(), fixture.journal.end(), L"(slept 1500 ms)") == 1);
  EXPECT_TRUE(fixture.journal[fixture.journal.size() - 3] ==
              L"Run(\"Addin_Install\", \"C:\\Velmor\", \"MalvixEx\")");
  EXPECT_TRUE(fixture.journal[fixture.journal.size() - 2] == L"(slept 1500 ms)");
  EXPECT_TRUE(OptionValues()[L"OPEN"] == L"\"C:\\Velmor\\MalvixEx.xla\"");
}

TEST(ExcelStandin, ServerLock) {
  static int idleCalls = 0;
  server_lock::SetIdleHandler([] { ++idleCalls; });
  const long before = server_lock::Count();
  {
    TempWorkbook file;
    Fixture fixture;
    ComPtr<IDispatch> workbooks = ObjectOf(Get(fixture.application.Get(), L"Workbooks"));
    ComPtr<IDispatch> workbook = ObjectOf(Call(workbooks.Get(), L"Open", {Text(file.path)}));
    EXPECT_TRUE(server_lock::Count() == before + 3);
    fixture.application.Reset();
    workbooks.Reset();
    EXPECT_TRUE(server_lock::Count() == before + 1);  // the workbook the client still holds
    EXPECT_TRUE(idleCalls == 0);
  }
  EXPECT_TRUE(server_lock::Count() == before && idleCalls == (before == 0 ? 1 : 0));
  server_lock::SetIdleHandler(nullptr);
}

TEST(ExcelStandin, Registration) {
  RemoveTestKeys();
  const std::wstring classesPath = std::wstring(kTestRoot) + L"\\Classes";
  const std::wstring machinePath = std::wstring(kTestRoot) + L"\\Machine";
  const std::vector<ClassesKey> keys = {{HKEY_CURRENT_USER, classesPath, 0}};
  const std::vector<ClassesKey> machine = {{HKEY_CURRENT_USER, machinePath, 0}};
  const Scope here{L"the test key", keys, {}, false, L"for the test"};
  const std::wstring clsid = ClsidText();
  const auto read = [&](const std::wstring& subkey, const std::wstring& root = L"") {
    wchar_t text[512] = {};
    DWORD size = sizeof(text);
    const std::wstring full = (root.empty() ? classesPath : root) + L"\\" + subkey;
    if (RegGetValueW(HKEY_CURRENT_USER, full.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                     &size) != ERROR_SUCCESS) {
      return std::wstring(L"<none>");
    }
    return std::wstring(text);
  };
  const auto plantForeign = [&](const std::wstring& root) {
    const std::wstring foreign = L"{00024500-0000-0000-C000-000000000046}";
    UniqueHkey key;
    const std::wstring progid = root + L"\\Excel.Application\\CLSID";
    RegCreateKeyExW(HKEY_CURRENT_USER, progid.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                    key.put(), nullptr);
    RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(foreign.c_str()),
                   static_cast<DWORD>((foreign.size() + 1) * sizeof(wchar_t)));
    return foreign;
  };

  EXPECT_TRUE(clsid == L"{59B98C01-D4BA-4D19-887E-1B0D74130B70}");
  EXPECT_TRUE(RegisterServer(here, L"C:\\Tools\\ExcelStandin.exe", false).ok);
  EXPECT_TRUE(RegisterServer(here, L"C:\\Tools\\ExcelStandin.exe", false).ok);  // ours again
  EXPECT_TRUE(read(L"Excel.Application\\CLSID") == clsid);
  EXPECT_TRUE(read(L"CLSID\\" + clsid + L"\\ProgID") == L"Excel.Application");
  EXPECT_TRUE(read(L"CLSID\\" + clsid + L"\\LocalServer32") == L"\"C:\\Tools\\ExcelStandin.exe\"");
  EXPECT_TRUE(UnregisterServer(keys).ok);
  EXPECT_TRUE(read(L"Excel.Application\\CLSID") == L"<none>");
  EXPECT_TRUE(read(L"CLSID\\" + clsid + L"\\ProgID") == L"<none>");
  EXPECT_TRUE(UnregisterServer(keys).ok);  // nothing left to remove is no failure

  // Another Excel.Application where COM also looks (a real Excel of the machine): a per-user
  // registration stands in front of it only when told to, and leaves it as it is.
  const std::wstring foreign = plantForeign(machinePath);
  const Scope user{L"the user's key", keys, machine, true, L"for this user"};
  const Outcome refused = RegisterServer(user, L"C:\\Tools\\ExcelStandin.exe", false);
  EXPECT_TRUE(!refused.ok && Contains(refused.message, foreign) &&
              Contains(refused.message, L"/force"));
  EXPECT_TRUE(read(L"Excel.Application\\CLSID") == L"<none>");
  EXPECT_FALSE(
      RegisterServer(Scope{L"", keys, machine, false, L""}, L"C:\\Tools\\ExcelStandin.exe", true)
          .ok);
  EXPECT_TRUE(RegisterServer(user, L"C:\\Tools\\ExcelStandin.exe", true).ok);
  EXPECT_TRUE(read(L"Excel.Application\\CLSID") == clsid);
  EXPECT_TRUE(UnregisterServer(keys).ok);
  EXPECT_TRUE(read(L"Excel.Application\\CLSID", machinePath) == foreign);

  // Where the registration would be written, somebody else's is neither replaced, even when
  // told to, nor removed.
  plantForeign(classesPath);
  for (const bool force : {false, true}) {
    const Outcome replaced = RegisterServer(user, L"C:\\Tools\\ExcelStandin.exe", force);
    EXPECT_TRUE(!replaced.ok && Contains(replaced.message, foreign));
  }
  EXPECT_TRUE(read(L"Excel.Application\\CLSID") == foreign);
  EXPECT_TRUE(read(L"CLSID\\" + clsid + L"\\LocalServer32") == L"<none>");
  EXPECT_TRUE(UnregisterServer(keys).ok);
  EXPECT_TRUE(read(L"Excel.Application\\CLSID") == foreign);
  RemoveTestKeys();
}

// Last: a server ended by force stays known to Wine's COM service until the prefix ends.
size_t CountLines(const std::string& text, const std::string& line) {
  size_t count = 0;
  for (size_t at = text.find(line + "\r\n"); at != std::string::npos;
       at = text.find(line + "\r\n", at + 1)) {
    if (at == 0 || text[at - 1] == '\n') ++count;
  }
  return count;
}

// The server as COM starts it, here in the tests' own prefix: a slow start, a busy spell and an
// end inside Quit, with what a client sees of them through Wine's channel.
TEST(ExcelStandin, ServedOutOfProcess) {
  const std::wstring server =
      velmor::FolderOf(velmor::win32::ModuleFileName()) + L"\\ExcelStandin.exe";
  ASSERT_FALSE(GetFileAttributesW(server.c_str()) == INVALID_FILE_ATTRIBUTES);
  const Scope scope = ScopeForThisProcess();
  EXPECT_TRUE(RegisterServer(scope, server, false).ok);
  const std::wstring folder = standins::StateFolder();
  const std::wstring orders = folder + L"\\excel.cfg";
  const std::wstring journal = folder + L"\\journal.txt";
  CreateDirectoryW(folder.c_str(), nullptr);
  DeleteFileW(journal.c_str());
  {
    const UniqueHandle file(CreateFileW(orders.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    const char text[] = "start_delay_ms=2000\r\nbusy_ms=1500\r\nend_in=Quit\r\n";
    DWORD written = 0;
    WriteFile(file.get(), text, sizeof(text) - 1, &written, nullptr);
  }

  const ULONGLONG start = GetTickCount64();
  ComPtr<IDispatch> app;
  const HRESULT created =
      CoCreateInstance(kClsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&app));
  const ULONGLONG createdMs = GetTickCount64() - start;
  std::printf("  created: 0x%08lX after %llu ms\n", static_cast<unsigned long>(created), createdMs);
  EXPECT_TRUE(created == S_OK && createdMs >= 2000);
  if (app) {
    Reply visible = Put(app.Get(), L"Visible", Text(L"True"));
    std::printf("  Visible while busy: 0x%08lX\n", static_cast<unsigned long>(visible.hr));
    EXPECT_TRUE(visible.hr == RPC_E_CALL_REJECTED);
    size_t attempts = 1;
    while (visible.hr == RPC_E_CALL_REJECTED && GetTickCount64() - start < 30000) {
      Sleep(100);
      visible = Put(app.Get(), L"Visible", Text(L"True"));
      ++attempts;
    }
    std::printf("  Visible answered 0x%08lX after %zu attempts, %llu ms after the start\n",
                static_cast<unsigned long>(visible.hr), attempts, GetTickCount64() - start);
    EXPECT_TRUE(visible.hr == S_OK);

    const HRESULT quit = Call(app.Get(), L"Quit", {}).hr;
    std::printf("  Quit with the server ending inside it: 0x%08lX\n",
                static_cast<unsigned long>(quit));
    EXPECT_TRUE(quit == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) ||
                quit == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED) || quit == RPC_E_DISCONNECTED);
    app.Reset();

    const std::string lines = standins::ReadFileBytes(journal);
    EXPECT_TRUE(CountLines(lines, "excel: #rejected Visible") == attempts - 1);
    EXPECT_TRUE(CountLines(lines, "excel: Visible=True") == 1);
    EXPECT_TRUE(CountLines(lines, "excel: Quit") == 1 &&
                CountLines(lines, "excel: #end inside Quit") == 1);
    EXPECT_TRUE(lines.find("#exit") == std::string::npos);
  }
  DeleteFileW(orders.c_str());
  EXPECT_TRUE(UnregisterServer(scope.keys).ok);
}

}  // namespace
