// Portable control models.
#include "corvale/ui/controls.h"

namespace corvale {

void Control::Changed() {
  if (observer_) observer_->ControlChanged(*this);
}

void Control::SetCaption(const std::string& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  Changed();
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
}

void Control::SetBounds(const TBounds& bounds) {
  if (bounds_ == bounds) return;
  bounds_ = bounds;
  Changed();
}

void Control::SetFocus() {
  if (observer_) observer_->FocusRequested(*this);
}

void CheckBox::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Changed();
  if (OnClick) OnClick();
}

void EditBox::SetText(const std::string& text) {
  if (text_ == text) return;
  text_ = text;
  Changed();
  if (OnChange) OnChange();
}

void ComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  item_index_ = -1;
  Changed();
}

void ComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= static_cast<int>(items_.size())) index = -1;
  if (item_index_ == index) return;
  item_index_ = index;
  Changed();
}

std::string ComboBox::Text() const {
  return item_index_ >= 0 ? items_[static_cast<size_t>(item_index_)] : std::string();
}

void ComboBox::Select(int index) {
  SetItemIndex(index);
  if (OnSelect) OnSelect();
}

void Memo::Clear() {
  lines_.clear();
  Changed();
}

void Memo::Add(const std::string& line) {
  lines_.push_back(line);
  Changed();
}

std::string Memo::Text() const {
  std::string text;
  for (size_t n = 0; n < lines_.size(); ++n) {
    if (n) text += "\r\n";
    text += lines_[n];
  }
  return text;
}

void StatusBar::SetSimpleText(const std::string& text) {
  if (text_ == text) return;
  text_ = text;
  Changed();
}

}  // namespace corvale
