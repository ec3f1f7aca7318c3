#include "FormModel.h"

#include <algorithm>

#include "NumberText.h"
#include "RuntimeError.h"

namespace velmor {
namespace {

// Error number of the report for a control array element that does not exist (the run-time's own
// "control array element does not exist").
constexpr std::uint32_t kErrorNoSuchControl = 340;

}  // namespace

std::wstring ControlDisplayName(std::wstring_view name, std::int16_t index) {
  std::wstring text(name);
  if (index != kNoIndex) text += L"(" + DecimalText(index) + L")";
  return text;
}

bool CanTakeFocus(const ControlSpec& spec) {
  return spec.tabIndex != kNoTab && spec.kind != ControlKind::kLabel &&
         spec.kind != ControlKind::kLine;
}

Control::Control(const ControlSpec& spec, Form& form)
    : spec_(&spec), form_(&form), foreColor_(spec.foreColor), caption_(spec.caption) {}

void Control::SetForeColor(ColorValue color) {
  foreColor_ = color;
  form_->NotifyChanged(*this);
}

void Control::SetValue(int value) {
  value_ = value;
  form_->NotifyChanged(*this);
}

void Control::Reset() {
  foreColor_ = spec_->foreColor;
  value_ = 0;
  caption_ = std::wstring(spec_->caption);
}

Form::Form(const FormSpec& spec, ProgramForm* handlers)
    : spec_(spec), caption_(spec.caption), handlers_(handlers) {
  controls_.reserve(spec.controls.size());
  for (const ControlSpec& control : spec.controls) controls_.emplace_back(control, *this);
}

Control& Form::operator()(std::wstring_view name, std::int16_t index) {
  for (Control& control : controls_) {
    if (control.Spec().name == name && control.Spec().index == index) {
      Load();
      return control;
    }
  }
  throw RuntimeError(kErrorNoSuchControl, L"コントロール配列の要素が存在しません。",
                     L"コントロールの参照", ControlDisplayName(name, index));
}

void Form::SetCaption(std::wstring caption) {
  Load();
  caption_ = std::move(caption);
  if (host_ != nullptr) host_->CaptionChanged(*this);
}

void Form::Load() {
  if (loaded_) return;
  // Loaded once the window exists: a window that could not be made leaves the form unloaded, and
  // the next reference tries again.
  if (host_ != nullptr) host_->Load(*this);
  loaded_ = true;
}

void Form::Show() {
  Load();
  visible_ = true;
  if (host_ != nullptr) host_->Show(*this);
}

void Form::Unload() {
  if (!loaded_) return;
  if (host_ != nullptr) host_->Unload(*this);
  loaded_ = false;
  visible_ = false;
  focused_ = nullptr;
  // A window loaded again starts from its table values, as a new window would.
  caption_ = std::wstring(spec_.caption);
  for (Control& control : controls_) control.Reset();
}

void Form::Click(const Control& control) {
  if (stepRunning_ || handlers_ == nullptr || control.Spec().click == nullptr) return;
  control.Spec().click(*handlers_, control.Spec().index);
}

Form::Step Form::BeginStep(std::wstring reason) {
  // A step inside a step belongs to the outer one.
  if (stepRunning_) return Step(nullptr);
  stepRunning_ = true;
  stepReason_ = std::move(reason);
  if (host_ != nullptr) host_->StepBegan(*this);
  return Step(this);
}

Form::Step::~Step() {
  if (form_ == nullptr) return;
  form_->stepRunning_ = false;
  form_->stepReason_.clear();
  if (form_->host_ != nullptr) form_->host_->StepEnded(*form_);
}

void Form::NotifyChanged(const Control& control) {
  if (loaded_ && host_ != nullptr) host_->ControlChanged(*this, control);
}

std::vector<const Control*> Form::TabOrder() const {
  std::vector<const Control*> order;
  for (const Control& control : controls_) {
    if (CanTakeFocus(control.Spec())) order.push_back(&control);
  }
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    return a->Spec().tabIndex < b->Spec().tabIndex;
  });
  return order;
}

std::vector<const Control*> Form::TabStops() const {
  std::vector<const Control*> order = TabOrder();
  const auto isOption = [](const Control* control) {
    return control->Spec().kind == ControlKind::kOptionButton;
  };
  const Control* current = ControlToFocus();
  const Control* entry = nullptr;
  if (current != nullptr && isOption(current)) {
    entry = current;
  } else {
    for (const Control* control : order) {
      if (!isOption(control)) continue;
      if (entry == nullptr || control->Value() != 0) entry = control;
      if (control->Value() != 0) break;
    }
  }
  std::erase_if(order,
                [&](const Control* control) { return isOption(control) && control != entry; });
  return order;
}

const Control* Form::ControlToFocus() const {
  if (focused_ != nullptr) return focused_;
  const std::vector<const Control*> order = TabOrder();
  return order.empty() ? nullptr : order.front();
}

namespace {

// The next (or, backwards, the previous) control after current in a cyclic order; the first (or
// last) when current is not in it.
const Control* Neighbour(const std::vector<const Control*>& order, const Control* current,
                         bool backwards) {
  if (order.empty()) return nullptr;
  const auto at = std::find(order.begin(), order.end(), current);
  if (at == order.end()) return backwards ? order.back() : order.front();
  const std::size_t i = static_cast<std::size_t>(at - order.begin());
  const std::size_t n = order.size();
  return order[backwards ? (i + n - 1) % n : (i + 1) % n];
}

}  // namespace

KeyAction Form::KeyDown(Key key, bool shift) const {
  using Kind = KeyAction::Kind;
  const Control* current = ControlToFocus();
  if (current == nullptr) return {};
  const ControlKind kind = current->Spec().kind;
  switch (key) {
    case Key::kTab: {
      const Control* next = Neighbour(TabStops(), current, shift);
      // Only an option button taken with nothing selected yet is left unselected here.
      if (next != nullptr && next->Spec().kind == ControlKind::kOptionButton &&
          next->Value() == 0) {
        return {Kind::kSelectOption, next};
      }
      return {Kind::kMoveFocus, next};
    }
    case Key::kEnter:
      if (kind == ControlKind::kCommandButton) return {Kind::kPress, current};
      return {};
    case Key::kLeft:
    case Key::kRight:
    case Key::kUp:
    case Key::kDown: {
      if (kind != ControlKind::kOptionButton) return {};
      // All option buttons lie directly on the window and so form one group.
      std::vector<const Control*> group = TabOrder();
      std::erase_if(group, [](const Control* control) {
        return control->Spec().kind != ControlKind::kOptionButton;
      });
      const bool backwards = key == Key::kLeft || key == Key::kUp;
      return {Kind::kSelectOption, Neighbour(group, current, backwards)};
    }
    case Key::kEscape:
      return {};
  }
  return {};
}

}  // namespace velmor
