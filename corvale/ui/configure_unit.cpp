// The setup wizard's handlers: the folder each printer gets, ticking printers, the two pages and
// the summary.
#include "corvale/ui/configure_unit.h"

#include <algorithm>
#include <array>
#include <utility>

#include "common/text.h"
#include "corvale/platform/dialogs.h"
#include "corvale/platform/file_system.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

namespace {

constexpr char kFolderToken[] = "DEFGHIJKLMNOPQ";
constexpr char kPrinterToken[] = "ABCABC";

// Characters, not bytes, of a UTF-8 text.
size_t CharacterCount(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// Replaces every token by its text in one pass, so that a replacement that happens to contain
// the other token stays as it is.
std::string ReplaceTokens(const std::string& text,
                          const std::array<std::pair<std::string, std::string>, 2>& tokens) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    bool replaced = false;
    for (const auto& [token, replacement] : tokens) {
      if (text.compare(pos, token.size(), token) != 0) continue;
      out += replacement;
      pos += token.size();
      replaced = true;
      break;
    }
    if (!replaced) out += text[pos++];
  }
  return out;
}

}  // namespace

TForm4::TForm4(TForm1& owner)
    : BaseFolderDialog(owner.Platform().folders, owner.Platform().files), owner_(owner) {
  Memo1.SetVisible(false);
  btnCancel.ModalResult = TModalResult::mrCancel;
  ComboBox1.OnSelect = [this] { ComboBox1Select(); };
  Edit1.OnChange = [this] { Edit1Change(); };
  btnBrowse.OnClick = [this] { btnBrowseClick(); };
  btnOK.OnClick = [this] { btnOKClick(); };
  btnCancel.OnClick = [this] { btnCancelClick(); };
}

std::vector<Control*> TForm4::AllControls() {
  std::vector<Control*> controls = PageOneControls();
  controls.insert(controls.end(), {&Memo1, &btnOK, &btnCancel});
  return controls;
}

std::vector<Control*> TForm4::PageOneControls() {
  return {&Label1, &Label2, &Label3, &Edit1,     &btnBrowse,
          &Label4, &Label6, &Label5, &ComboBox1, &Label7};
}

std::string TForm4::FolderForPrinter(const std::string& printer) const {
  if (varnell::Trim(printer).empty()) return std::string();
  std::string base = varnell::WithoutTrailingDelimiter(varnell::Trim(Edit1.Text()));
  if (!base.empty()) base += '\\';
  std::string name;
  for (char c : printer) {
    if (c == ':') continue;
    name += (c == '\\' || c == '/') ? '_' : c;
  }
  return base + name;
}

int TForm4::TickedCount() const {
  return static_cast<int>(std::count(Ticked.begin(), Ticked.end(), true));
}

void TForm4::FollowEntryCount() {
  Ticked.resize(ComboBox1.Items().size(), false);
}

void TForm4::FormCreate() {
  // Entry i is slot i + 1 of the main window.
  ComboBox1.SetItems(owner_.cmbPrinter.Items());
  FollowEntryCount();
  if (ComboBox1.Items().empty()) return;
  const std::string& first = ComboBox1.Items()[0];
  Label4.SetCaption(ReplaceTokens(
      Label4.Caption(), {{{kFolderToken, FolderForPrinter(first)}, {kPrinterToken, first}}}));
  ComboBox1.SetItemIndex(0);
}

void TForm4::ComboBox1DrawItem(ItemCanvas& canvas, int Index, const TRect& Rect) {
  FollowEntryCount();
  canvas.FillRect(Rect);
  if (Index < 0 || static_cast<size_t>(Index) >= ComboBox1.Items().size()) return;
  canvas.DrawCheckBox({Rect.Left + 1, Rect.Top, Rect.Left + 14, Rect.Bottom},
                      Ticked[static_cast<size_t>(Index)]);
  canvas.WriteText(Rect.Left + 16, Rect.Top, ComboBox1.Items()[static_cast<size_t>(Index)]);
}

void TForm4::DescribeSelectedPrinter(bool hint) {
  const std::string printer = ComboBox1.Text();
  const std::string folder = FolderForPrinter(printer);
  if (Ticked[static_cast<size_t>(ComboBox1.ItemIndex())]) {
    Label7.SetCaption("AFP file dropped into " + folder + " folder will be sent to " + printer +
                      " printer.");
  } else {
    Label7.SetCaption(folder + " folder is not associated with " + printer + " printer." +
                      (hint ? " Please add a tick before the printer name to enable the "
                              "association."
                            : ""));
  }
}

void TForm4::ComboBox1Select() {
  const int index = ComboBox1.ItemIndex();
  if (index < 0) return;
  FollowEntryCount();
  Ticked[static_cast<size_t>(index)] = !Ticked[static_cast<size_t>(index)];
  DescribeSelectedPrinter(/*hint=*/false);
}

void TForm4::Edit1Change() {
  if (ComboBox1.ItemIndex() < 0) return;
  FollowEntryCount();
  DescribeSelectedPrinter(/*hint=*/true);
}

void TForm4::btnBrowseClick() {
  const std::string folder = varnell::Trim(Edit1.Text());
  if (!folder.empty() && owner_.Platform().files.DirectoryExists(folder))
    BaseFolderDialog.Directory = folder;
  BaseFolderDialog.Caption = "Choose Folder";
  BaseFolderDialog.Title = "Please choose a base folder";
  if (BaseFolderDialog.Execute()) Edit1.SetText(BaseFolderDialog.Directory);
}

void TForm4::btnOKClick() {
  if (Page() == 1) {
    if (CharacterCount(varnell::Trim(Edit1.Text())) < 2) {
      owner_.Platform().dialogs.ShowMessage("Base hot folder is required.");
      Edit1.SetFocus();
      return;
    }
    for (Control* control : PageOneControls()) control->SetVisible(false);
    btnOK.SetCaption("< &Back");
    btnOK.Tag = 1;
    Memo1.SetBounds({24, 20, 546, 320});
    Memo1.SetVisible(true);
    FillSummary();
    btnCancel.SetCaption("OK");
    btnCancel.ModalResult = TModalResult::mrOk;
    btnCancel.SetFocus();
  } else {
    for (Control* control : PageOneControls()) control->SetVisible(true);
    btnOK.SetCaption("&Next >");
    btnOK.Tag = 0;
    Memo1.SetVisible(false);
    btnCancel.SetCaption("Cancel");
    btnCancel.ModalResult = TModalResult::mrCancel;
  }
}

void TForm4::btnCancelClick() {
  // OK on the summary page, Cancel on the first.
  ModalResult = btnCancel.ModalResult;
}

void TForm4::FillSummary() {
  Memo1.Clear();
  const int ticked = TickedCount();
  if (ticked == 0) {
    Memo1.Add(
        "No association between printer and hot folder is established. Please make sure that you "
        "have added tick before printer in the printer list. Click Back button to try again.");
  } else if (ticked == 1) {
    Memo1.Add("Only one association between printer and hot folder has been established");
  } else {
    Memo1.Add("The following associations between printer and hot folder have been established");
  }
  Memo1.Add("");
  FollowEntryCount();
  const std::vector<std::string>& printers = ComboBox1.Items();
  for (size_t i = 0; i < printers.size(); ++i) {
    if (Ticked[i]) Memo1.Add(FolderForPrinter(printers[i]) + " ==> " + printers[i]);
  }
}

}  // namespace corvale
