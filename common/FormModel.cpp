#include "FormModel.h"

#include "NumberText.h"
#include "RuntimeError.h"

namespace velmor {

std::wstring ControlDisplayName(std::wstring_view name, std::int16_t index) {
  std::wstring text(name);
  if (index != kNoIndex) text += L"(" + DecimalText(index) + L")";
  return text;
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

Form::Form(const FormSpec& spec) : spec_(spec), caption_(spec.caption) {
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
  throw RuntimeError(340, L"コントロール配列の要素が存在しません。", L"コントロールの参照",
                     ControlDisplayName(name, index));
}

void Form::SetCaption(std::wstring caption) {
  Load();
  caption_ = std::move(caption);
  if (host_ != nullptr) host_->CaptionChanged(*this);
}

void Form::Load() {
  if (loaded_) return;
  loaded_ = true;
  if (host_ != nullptr) host_->Load(*this);
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
  // A window loaded again starts from its table values, as a new window would.
  caption_ = std::wstring(spec_.caption);
  for (Control& control : controls_) control.Reset();
}

void Form::Click(const Control& control) {
  if (onClick) onClick(control);
}

void Form::NotifyChanged(const Control& control) {
  if (loaded_ && host_ != nullptr) host_->ControlChanged(*this, control);
}

}  // namespace velmor
