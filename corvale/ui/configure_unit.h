// The setup wizard TForm4: one base hot folder and a list of printers to tick; every ticked
// printer gets an input folder below the base folder, named after it. The wizard only computes
// and shows; the main window applies its result when it closes with OK.
// A new one is made for every use. Owned and used on the main thread.
#pragma once

#include <string>
#include <vector>

#include "corvale/ui/controls.h"
#include "corvale/ui/folder_dialog.h"

namespace corvale {

class TForm1;

// A rectangle on a window, in pixels, as an owner-drawn list hands its entries out.
struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool operator==(const TRect&) const = default;
};

// What an owner-drawn list entry is drawn with: the entry's colours (selected or not) are the
// canvas's own.
class ItemCanvas {
 public:
  virtual ~ItemCanvas() = default;
  // Fills the rectangle with the entry's background.
  virtual void FillRect(const TRect& rect) = 0;
  // The system's flat check box (a button frame control) in the rectangle.
  virtual void DrawCheckBox(const TRect& rect, bool checked) = 0;
  // Writes the text with its top left corner at (x, y).
  virtual void WriteText(int x, int y, const std::string& text) = 0;
};

class TForm4 {
 public:
  // The wizard of the main window `owner`, whose printer box it lists.
  explicit TForm4(TForm1& owner);
  TForm4(const TForm4&) = delete;
  TForm4& operator=(const TForm4&) = delete;

  // Page 1, top to bottom.
  Label Label1{"Label1",
               "Welcome to the Corvale Configuration Wizard. This wizard will help you turn your "
               "printers into IPDS enabled printers with just a few clicks."};
  Label Label2{"Label2",
               "To make a printer IPDS capable, you need to specify a hot folder to receive the "
               "drop-in AFP files to be printed."};
  Label Label3{"Label3", "Base Hot Folder:"};
  EditBox Edit1{"Edit1", ""};
  Button btnBrowse{"btnBrowse", "..."};
  Label Label4{"Label4", kLabel4Text};
  Label Label6{"Label6", "Select the printers that you want to turn into IPDS capable printers."};
  Label Label5{"Label5", "Supported Printer:"};
  ComboBox ComboBox1{"ComboBox1", ""};
  Label Label7{"Label7",
               "Add a tick before the printer name to enable the association between the hot "
               "folder and the printer."};
  // Page 2.
  Memo Memo1{"Memo1"};
  // On both pages.
  Button btnOK{"btnOK", "&Next >"};
  Button btnCancel{"btnCancel", "Cancel"};

  TFolderDialog BaseFolderDialog;

  // One tick per entry of ComboBox1; none when the wizard opens.
  std::vector<bool> Ticked;
  // Set when the window is to close; mrNone while it is open.
  TModalResult ModalResult = TModalResult::mrNone;

  // Every control, in the order above.
  std::vector<Control*> AllControls();
  // 1 or 2; kept in btnOK's tag as 0 or 1.
  int Page() const { return btnOK.Tag + 1; }

  // The input folder the wizard gives the printer under the current base folder.
  std::string FolderForPrinter(const std::string& printer) const;
  int TickedCount() const;
  void FillSummary();

  void FormCreate();
  void ComboBox1DrawItem(ItemCanvas& canvas, int Index, const TRect& Rect);
  void ComboBox1Select();
  void Edit1Change();
  void btnBrowseClick();
  void btnOKClick();
  void btnCancelClick();

  // The explanation of the base hot folder before its two names are put in: an example
  // folder and the printer it serves. Each path starts a line, so that none is broken.
  static constexpr char kLabel4Text[] =
      "The base hot folder is a network location given as a UNC path, for example\r\n"
      "\\\\printsrv01\\hotfolders or \\\\192.168.10.20\\hotfolders. Every printer that you "
      "tick gets a hot folder of its own below it: an AFP file dropped into\r\n"
      "\\\\printsrv01\\hotfolders\\DEFGHIJKLMNOPQ is printed on the ABCABC printer.";

 private:
  std::vector<Control*> PageOneControls();
  // Ticked as long as the entry count, keeping the ticks it has.
  void FollowEntryCount();
  // Label7 tells of the selected printer's folder; `hint` extends the unticked text.
  void DescribeSelectedPrinter(bool hint);

  TForm1& owner_;
};

}  // namespace corvale
