// The late-bound automation client the programs ship, driving the Excel stand-in's objects created
// in this process: argument order, property puts, a server's exception in words, and a property
// that answers no object. The add-in list lives under a test key of HKCU, removed at the end.

#include <windows.h>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <map>
#include <string>
#include <vector>

#include "Automation.h"
#include "ComObject.h"
#include "ComOwners.h"
#include "Dispatch.h"
#include "ErrorText.h"
#include "ExcelObjects.h"
#include "RuntimeError.h"
#include "TempFolder.h"

namespace {

using velmor::AutomationObject;
using velmor::RuntimeError;
using velmor::win32::MakeBstr;

constexpr wchar_t kTestRoot[] = L"Software\\VelmorWin32Tests";
constexpr wchar_t kTestOptions[] = L"Software\\VelmorWin32Tests\\Options";

class ShownFlag final : public excel::ApplicationView {
 public:
  void Show(bool visible) override { shown = visible; }
  bool IsShown() const override { return shown; }
  void ListWorkbooks(const std::vector<std::wstring>&) override {}
  bool shown = false;
};

class AutomationClient : public testing::Test {
 protected:
  AutomationClient() : folder_(L"automation") {
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    excel::Environment environment;
    environment.journal = [this](std::wstring_view line) { journal.emplace_back(line); };
    environment.orders = [this](std::wstring_view key) { return orders[std::wstring(key)]; };
    environment.addinRoot = HKEY_CURRENT_USER;
    environment.addinKey = kTestOptions;
    environment.view = &view;
    application = velmor::win32::AutomationObjectFor(excel::CreateApplication(environment).Get(),
                                                     L"Excel.Application");
    workbook = folder_.File(L"ツール\\Velmor_Tool.xls");
  }
  ~AutomationClient() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot); }

  RuntimeError CallFailure(AutomationObject& object, std::wstring_view member,
                           const std::vector<velmor::AutomationArg>& args) {
    try {
      object.Call(member, args);
    } catch (const RuntimeError& error) {
      return error;
    }
    ADD_FAILURE() << "no error from " << testing::PrintToString(std::wstring(member));
    return RuntimeError(0, L"", L"", L"");
  }

  win32_tests::TempFolder folder_;
  std::vector<std::wstring> journal;
  std::map<std::wstring, std::vector<std::wstring>> orders;
  ShownFlag view;
  std::unique_ptr<AutomationObject> application;
  std::wstring workbook;
};

TEST_F(AutomationClient, PutsPropertiesAndPassesArgumentsInTheirOwnOrder) {
  application->Put(L"Visible", true);
  EXPECT_TRUE(view.shown);
  application->Put(L"DisplayAlerts", false);
  const std::unique_ptr<AutomationObject> books = application->GetProperty(L"Workbooks");
  ASSERT_NE(books, nullptr);
  const std::unique_ptr<AutomationObject> book = books->Call(L"Open", {workbook});
  EXPECT_NE(book, nullptr);  // a method that answers with an object hands it back
  EXPECT_EQ(application->Call(L"Run", {std::wstring(L"Addin_Install"), std::wstring(L"C:\\Velmor"),
                                       std::wstring(L"TorvaneEx")}),
            nullptr);
  books->Call(L"Close", {});
  application->Call(L"Quit", {});

  const std::vector<std::wstring> expected = {
      L"Visible=True",
      L"DisplayAlerts=False",
      L"Workbooks",
      L"Open(\"" + workbook + L"\")",
      L"Run(\"Addin_Install\", \"C:\\Velmor\", \"TorvaneEx\")",
      L"Close",
      L"Quit",
  };
  EXPECT_EQ(journal, expected);
}

TEST_F(AutomationClient, AServersExceptionReachesTheReportInItsOwnWords) {
  const std::unique_ptr<AutomationObject> books = application->GetProperty(L"Workbooks");
  books->Call(L"Open", {workbook});
  orders[L"macro_error"] = {L"アドインが見つかりません: TorvaneEx"};
  const RuntimeError error = CallFailure(
      *application, L"Run",
      {std::wstring(L"Addin_Install"), std::wstring(L"C:\\Velmor"), std::wstring(L"TorvaneEx")});
  EXPECT_EQ(error.Number(), static_cast<std::uint32_t>(excel::kApplicationError));
  EXPECT_NE(error.Description().find(L"アドインが見つかりません: TorvaneEx"), std::wstring::npos)
      << testing::PrintToString(error.Description());
  EXPECT_NE(error.Description().find(L"Velmor_Tool.xls"), std::wstring::npos);  // the source
  EXPECT_EQ(error.Object(), L"Excel.Application.Run");

  // A file the server cannot open names the file.
  const std::wstring missing = folder_.Path() + L"\\missing.xls";
  const RuntimeError open = CallFailure(*books, L"Open", {missing});
  EXPECT_NE(open.Description().find(missing), std::wstring::npos);
  EXPECT_EQ(open.Object(), L"Excel.Application.Workbooks.Open");
}

TEST_F(AutomationClient, APropertyThatAnswersNoObjectAndAnUnknownMemberAreErrors) {
  try {
    application->GetProperty(L"Visible");
    ADD_FAILURE() << "Visible is no object";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), static_cast<std::uint32_t>(DISP_E_TYPEMISMATCH));
    EXPECT_EQ(error.Object(), L"Excel.Application.Visible");
  }
  const RuntimeError unknown = CallFailure(*application, L"Calculate", {});
  EXPECT_EQ(unknown.Number(), static_cast<std::uint32_t>(DISP_E_UNKNOWNNAME));
  EXPECT_EQ(unknown.Object(), L"Excel.Application.Calculate");
  EXPECT_FALSE(unknown.Description().empty());
}

// A server whose every call raises an error that it gives a number but no description.
class SilentlyFailing final : public velmor::win32::ComObject<IDispatch> {
 public:
  SilentlyFailing(WORD code, HRESULT scode, std::wstring source)
      : code_(code), scode_(scode), source_(std::move(source)) {}
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) override {
    ids[0] = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                   EXCEPINFO* info, UINT*) override {
    *info = EXCEPINFO{};
    info->wCode = code_;
    info->scode = scode_;
    if (!source_.empty()) info->bstrSource = MakeBstr(source_).release();
    return DISP_E_EXCEPTION;
  }

 private:
  WORD code_;
  HRESULT scode_;
  std::wstring source_;
};

TEST(AutomationServerError, WithoutWordsOfItsOwnGetsTheSystemsOnlyForTheSystemsNumbers) {
  const struct {
    WORD code;
    HRESULT scode;
    const wchar_t* source;
    std::uint32_t number;
    std::wstring description;  // empty: the system's text
  } cases[] = {
      {1004, 0, L"", 1004,
       L"Excel からエラー 1004 が報告されました。このエラーの説明は見つかりませんでした。"},
      {0, 0, L"", 0,
       L"Excel からエラー 0 が報告されました。このエラーの説明は見つかりませんでした。"},
      {0, static_cast<HRESULT>(0x800A03ECu), L"Microsoft Excel", 0x800A03ECu,
       L"Microsoft Excel からエラー 0x800A03EC が報告されました。"
       L"このエラーの説明は見つかりませんでした。"},
      {0, E_ACCESSDENIED, L"Microsoft Excel", 0x80070005u, L""},
  };
  for (const auto& c : cases) {
    const Microsoft::WRL::ComPtr<IDispatch> server(new SilentlyFailing(c.code, c.scode, c.source));
    const std::unique_ptr<AutomationObject> object =
        velmor::win32::AutomationObjectFor(server.Get(), L"Excel.Application");
    try {
      object->Call(L"Run", {});
      ADD_FAILURE() << "no error";
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.Number(), c.number);
      if (c.description.empty()) {
        EXPECT_EQ(error.Description(),
                  L"Microsoft Excel: " + velmor::win32::SystemErrorText(c.number));
      } else {
        EXPECT_EQ(error.Description(), c.description);
      }
      EXPECT_EQ(error.Object(), L"Excel.Application.Run");
    }
  }
}

}  // namespace
