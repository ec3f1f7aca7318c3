#pragma once

// A window as data. Each program's Form1 is a table of ControlSpec rows (kind, name, index,
// caption, geometry in twips, font, colours, tab index, click handler), listed front to back. The
// properties the logic reads and writes at run time (ForeColor, Value, Caption) live here, exactly
// as set, so the whole behaviour can be tested without a window; a FormHost (the Win32 window in
// the programs) shows the model and hears of every change.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Colors.h"

namespace velmor {

enum class ControlKind { kLabel, kCheckBox, kOptionButton, kCommandButton, kPictureBox, kLine };

struct FontSpec {
  std::wstring_view face;
  double points = 0;
  int weight = 400;  // 400 regular, 700 bold
  int charset = 0;   // 0 Western, 128 Japanese (Shift-JIS)
};

struct TwipsRect {
  int left = 0, top = 0, width = 0, height = 0;
};

struct TwipsLine {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// What a control's text colour means, in words, for those who cannot see the colour.
struct ColorMeaning {
  ColorValue color = 0;
  std::wstring_view words;
};

inline constexpr std::int16_t kNoIndex = -1;  // a single control, not a member of a control array
inline constexpr int kNoTab = -1;             // labels and lines take no focus

class ProgramForm;

// What a click on a command button or option button runs: a handler of the program's window,
// bound to the control's row by a member pointer (OnClick in ProgramForm.h), given the clicked
// member's index (kNoIndex for a single control).
using ClickHandler = void (*)(ProgramForm& window, std::int16_t index);

struct ControlSpec {
  ControlKind kind = ControlKind::kLabel;
  std::wstring_view name;
  std::int16_t index = kNoIndex;
  std::wstring_view caption;
  TwipsRect box;   // every control but a line
  TwipsLine line;  // lines only
  FontSpec font;
  ColorValue foreColor = kButtonText;
  ColorValue backColor = kButtonFace;
  bool paintsBackground =
      false;  // labels: fill the box with backColor, or let the form show through
  int tabIndex = kNoTab;
  ClickHandler click = nullptr;  // command buttons and option buttons only; null: none
  int pictureId = 0;  // resource of a graphical button's or picture box's picture; 0 for none
  // For assistive technology: the name of a control without a caption (what its picture shows),
  // and the meanings of its text colours.
  std::wstring_view accessibleName;
  std::span<const ColorMeaning> colorMeanings;
};

struct FormSpec {
  std::wstring_view caption;
  int clientWidth = 0;  // twips
  int clientHeight = 0;
  ColorValue backColor = kMenuBackground;
  FontSpec font;
  int iconId = 0;                         // 0: the window has no icon of its own
  std::span<const ControlSpec> controls;  // front to back
};

class Control;

// Keys the window answers itself, as a dialog does, instead of leaving them to the focused control.
enum class Key { kTab, kEnter, kEscape, kLeft, kRight, kUp, kDown };

// What a key press does to the window. The host carries it out.
struct KeyAction {
  enum class Kind {
    kNone,          // nothing happens
    kMoveFocus,     // the focus moves to target
    kSelectOption,  // the focus moves to the option button target, which is clicked
    kPress,         // the command button target is clicked
  };
  Kind kind = Kind::kNone;
  const Control* target = nullptr;
};

// Whether a control of that kind and tab index can take the keyboard focus: the real controls can,
// labels and lines cannot.
bool CanTakeFocus(const ControlSpec& spec);

// Whether only command buttons and option buttons have click handlers: a program's table is
// checked with this when it is compiled.
constexpr bool ClicksOnlyOnButtons(std::span<const ControlSpec> controls) {
  for (const ControlSpec& control : controls) {
    if (control.click != nullptr && control.kind != ControlKind::kCommandButton &&
        control.kind != ControlKind::kOptionButton) {
      return false;
    }
  }
  return true;
}

// "Label1(4)", or "Label2" for a single control.
std::wstring ControlDisplayName(std::wstring_view name, std::int16_t index);

class Form;

class Control {
 public:
  Control(const ControlSpec& spec, Form& form);

  const ControlSpec& Spec() const { return *spec_; }

  ColorValue ForeColor() const { return foreColor_; }
  void SetForeColor(ColorValue color);

  // Check box: 1 ticked, 0 not. Option button: 1 selected, 0 not.
  int Value() const { return value_; }
  void SetValue(int value);

  const std::wstring& Caption() const { return caption_; }

  // Puts the properties back to the table's values, as a newly loaded window has them.
  void Reset();

 private:
  const ControlSpec* spec_;
  Form* form_;
  ColorValue foreColor_;
  int value_ = 0;
  std::wstring caption_;
};

class FormHost {
 public:
  virtual ~FormHost() = default;
  virtual void Load(Form& form) = 0;    // create the window, hidden
  virtual void Show(Form& form) = 0;    // show it modeless, without an owner
  virtual void Unload(Form& form) = 0;  // destroy it
  virtual void CaptionChanged(Form& form) = 0;
  virtual void ControlChanged(Form& form, const Control& control) = 0;
  virtual void StepBegan(Form& form) = 0;  // a step (the work behind a button) has begun
  virtual void StepEnded(Form& form) = 0;  // the step that was running has ended
};

class Form {
 public:
  // handlers: the program's window whose handlers the table's rows name; null runs none (a form
  // shown without its program, in tests).
  explicit Form(const FormSpec& spec, ProgramForm* handlers = nullptr);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const FormSpec& Spec() const { return spec_; }
  void AttachHost(FormHost* host) { host_ = host; }

  // The control of that name and index. Touching a control loads the window. Throws RuntimeError
  // when the window has no such control (for example Command1(0), whose array has only member 1).
  Control& operator()(std::wstring_view name, std::int16_t index = kNoIndex);
  std::vector<Control>& Controls() { return controls_; }
  const std::vector<Control>& Controls() const { return controls_; }

  const std::wstring& Caption() const { return caption_; }
  void SetCaption(std::wstring caption);

  void Load();
  void Show();
  void Unload();
  bool IsLoaded() const { return loaded_; }
  bool IsVisible() const { return visible_; }

  // Called by the host when the user clicks a command button or an option button: runs the
  // handler of the control's row. While a step runs the click does nothing: one handler never
  // runs inside another.
  void Click(const Control& control);

  // A step (the work behind the Start button) runs from BeginStep until the returned object is
  // gone. Meanwhile the window refuses to close, since the handler would go on underneath it, and
  // reason is what the system is told when it asks to end the session.
  class Step {
   public:
    explicit Step(Form* form) : form_(form) {}
    Step(Step&& other) noexcept : form_(std::exchange(other.form_, nullptr)) {}
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;
    Step& operator=(Step&&) = delete;
    ~Step();

   private:
    Form* form_;
  };
  [[nodiscard]] Step BeginStep(std::wstring reason);
  bool StepRunning() const { return stepRunning_; }
  const std::wstring& StepReason() const { return stepReason_; }

  // Called by Control when one of its properties changed.
  void NotifyChanged(const Control& control);

  // The controls that take the focus, by tab index.
  std::vector<const Control*> TabOrder() const;

  // Focus memory. The host reports every control that takes the focus; when the window gets the
  // focus back (after a message box, or activated again), the remembered control takes it. A window
  // that has not had a focused control yet gives the focus to the lowest tab index.
  void GotFocus(const Control& control) { focused_ = &control; }
  const Control* FocusedControl() const { return focused_; }
  const Control* ControlToFocus() const;

  // The controls Tab and Shift+Tab stop at, in tab order, seen from the control that has the focus.
  // As in a dialog, the option buttons are one stop: the focused one when the focus is in the
  // group, else the selected one, else the first. On Windows an option button that takes the focus
  // from the keyboard clicks itself, so a Tab that stopped at every option button would change the
  // choice on its way through.
  std::vector<const Control*> TabStops() const;

  // What a key pressed while ControlToFocus() has the focus does. Tab and Shift+Tab cycle through
  // TabStops, and entering the option buttons when none is selected selects the first, as a click
  // would; the arrow keys move among the option buttons and select as they move; Enter presses a
  // focused command button and does nothing elsewhere, since neither button is the default; Esc
  // does nothing, since neither is the cancel button.
  KeyAction KeyDown(Key key, bool shift) const;

 private:
  const FormSpec& spec_;
  std::vector<Control> controls_;
  std::wstring caption_;
  ProgramForm* handlers_;
  FormHost* host_ = nullptr;
  const Control* focused_ = nullptr;
  bool loaded_ = false;
  bool visible_ = false;
  bool stepRunning_ = false;
  std::wstring stepReason_;
};

}  // namespace velmor
