// The setup wizard on its window model: the folder each printer gets, ticking, the label texts,
// the two pages and the summary, the base folder picker, and its result applied by the main
// window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corvale/ui/configure_unit.h"
#include "tests/fakes/form_harness.h"

namespace corvale {
namespace {

// Records where the program puts the focus among the controls it observes.
class FocusObserver : public ControlObserver {
 public:
  void ControlChanged(Control&) override {}
  void FocusRequested(Control& control) override { focused.push_back(control.Name()); }
  std::vector<std::string> focused;
};

class RecordingCanvas : public ItemCanvas {
 public:
  void FillRect(const TRect& rect) override { calls.push_back("fill " + Text(rect)); }
  void DrawCheckBox(const TRect& rect, bool checked) override {
    calls.push_back(std::string(checked ? "checked " : "unchecked ") + Text(rect));
  }
  void WriteText(int x, int y, const std::string& text) override {
    calls.push_back("text " + std::to_string(x) + "," + std::to_string(y) + " " + text);
  }
  std::vector<std::string> calls;

 private:
  static std::string Text(const TRect& r) {
    return std::to_string(r.Left) + "," + std::to_string(r.Top) + "-" + std::to_string(r.Right) +
           "," + std::to_string(r.Bottom);
  }
};

class ConfigureUnitTest : public ::testing::Test, protected testing::FormHarness {
 protected:
  // Printers, in the main window's order.
  void List(const std::vector<std::string>& names) {
    for (const std::string& name : names) printers.Add(name);
  }
  // A wizard over the main window's printer box, opened.
  TForm4& Open() {
    if (!created_) Create();
    created_ = true;
    wizard_ = std::make_unique<TForm4>(Form());
    wizard_->FormCreate();
    return *wizard_;
  }
  void Observe(Control& control) { control.SetObserver(&observer); }

  FocusObserver observer;
  bool created_ = false;
  std::unique_ptr<TForm4> wizard_;
};

TEST_F(ConfigureUnitTest, FolderForPrinterJoinsTheBaseAndTheConvertedName) {
  List({"HP LaserJet 4"});
  TForm4& wizard = Open();
  struct Case {
    const char* base;
    const char* printer;
    const char* folder;
  };
  const Case cases[] = {
      {"H:\\Hot", "HP LaserJet 4", "H:\\Hot\\HP LaserJet 4"},
      {"H:\\Hot\\", "HP LaserJet 4", "H:\\Hot\\HP LaserJet 4"},
      {"  H:\\Hot\\  ", "HP LaserJet 4", "H:\\Hot\\HP LaserJet 4"},
      {"H:\\Hot\\\\", "x", "H:\\Hot\\\\x"},  // only one trailing delimiter goes
      {"H:\\Hot", "\\\\srv\\q", "H:\\Hot\\__srv_q"},
      {"H:\\Hot", "a/b", "H:\\Hot\\a_b"},
      {"H:\\Hot", "a\\b", "H:\\Hot\\a_b"},
      {"H:\\Hot", "LPT:Laser:", "H:\\Hot\\LPTLaser"},
      {"\\\\printsrv01\\hotfolders", "Pellam_Ink", "\\\\printsrv01\\hotfolders\\Pellam_Ink"},
      {"", "a/b", "a_b"},
      {"   ", "Pellam_Ink", "Pellam_Ink"},
      {"H:\\Hot", "", ""},
      {"H:\\Hot", "   ", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.base) + " | " + c.printer);
    wizard.Edit1.SetText(c.base);
    EXPECT_EQ(wizard.FolderForPrinter(c.printer), c.folder);
  }
}

TEST_F(ConfigureUnitTest, OpensWithThePrinterBoxsEntriesAndTheFirstSelectedUnticked) {
  List({"Dorrow_Laser", "Pellam_Ink", "Office Laser 2"});
  TForm4& wizard = Open();
  EXPECT_EQ(wizard.ComboBox1.Items(), Form().cmbPrinter.Items());
  EXPECT_EQ(wizard.ComboBox1.ItemIndex(), 0);
  EXPECT_EQ(wizard.Ticked, std::vector<bool>(3, false));
  EXPECT_EQ(wizard.TickedCount(), 0);
  EXPECT_EQ(wizard.Page(), 1);
  EXPECT_FALSE(wizard.Memo1.Visible());
  EXPECT_EQ(wizard.btnOK.Caption(), "&Next >");
  EXPECT_EQ(wizard.btnCancel.Caption(), "Cancel");
  EXPECT_EQ(wizard.btnCancel.ModalResult, TModalResult::mrCancel);
  EXPECT_EQ(wizard.ModalResult, TModalResult::mrNone);
  EXPECT_EQ(
      wizard.Label4.Caption(),
      "The base hot folder is a network location given as a UNC path, for example\r\n"
      "\\\\printsrv01\\hotfolders or \\\\192.168.10.20\\hotfolders. Every printer that you tick "
      "gets a hot folder of its own below it: an AFP file dropped into\r\n"
      "\\\\printsrv01\\hotfolders\\Dorrow_Laser is printed on the Dorrow_Laser printer.");
}

TEST_F(ConfigureUnitTest, Label4NamesTheFirstPrintersConvertedFolder) {
  // The folder token gets the converted name, the printer token the name itself; a name that
  // contains the other token is put in as it is.
  List({"\\\\srv\\ABCABC:1"});
  TForm4& wizard = Open();
  EXPECT_NE(wizard.Label4.Caption().find("\\\\printsrv01\\hotfolders\\__srv_ABCABC1 is printed on "
                                         "the \\\\srv\\ABCABC:1 printer."),
            std::string::npos)
      << wizard.Label4.Caption();
  EXPECT_EQ(wizard.Label4.Caption().find("DEFGHIJKLMNOPQ"), std::string::npos);
}

TEST_F(ConfigureUnitTest, PickingAPrinterTicksItAndPickingItAgainUnticksIt) {
  List({"Dorrow_Laser", "Pellam_Ink"});
  TForm4& wizard = Open();
  wizard.Edit1.SetText("H:\\Hot");
  wizard.ComboBox1.Select(1);
  EXPECT_EQ(wizard.Ticked, (std::vector<bool>{false, true}));
  EXPECT_EQ(wizard.Label7.Caption(),
            "AFP file dropped into H:\\Hot\\Pellam_Ink folder will be sent to Pellam_Ink printer.");
  wizard.ComboBox1.Select(1);
  EXPECT_EQ(wizard.Ticked, (std::vector<bool>{false, false}));
  EXPECT_EQ(wizard.Label7.Caption(),
            "H:\\Hot\\Pellam_Ink folder is not associated with Pellam_Ink printer.");
  wizard.ComboBox1.Select(0);
  wizard.ComboBox1.Select(1);
  EXPECT_EQ(wizard.Ticked, (std::vector<bool>{true, true}));
  EXPECT_EQ(wizard.TickedCount(), 2);
}

TEST_F(ConfigureUnitTest, ChangingTheBaseFolderRetellsTheSelectedPrintersFolder) {
  List({"Dorrow_Laser", "Pellam_Ink"});
  TForm4& wizard = Open();
  wizard.Edit1.SetText("H:\\A");
  EXPECT_EQ(wizard.Label7.Caption(),
            "H:\\A\\Dorrow_Laser folder is not associated with Dorrow_Laser printer. Please add "
            "a tick before the printer name to enable the association.");
  wizard.ComboBox1.Select(0);
  wizard.Edit1.SetText("H:\\B\\");
  EXPECT_EQ(wizard.Label7.Caption(),
            "AFP file dropped into H:\\B\\Dorrow_Laser folder will be sent to Dorrow_Laser "
            "printer.");
  // Only picking changes ticks.
  EXPECT_EQ(wizard.Ticked, (std::vector<bool>{true, false}));
}

TEST_F(ConfigureUnitTest, EntriesAreDrawnWithAFlatCheckBoxBeforeTheName) {
  List({"Dorrow_Laser", "Pellam_Ink"});
  TForm4& wizard = Open();
  wizard.ComboBox1.Select(1);
  RecordingCanvas canvas;
  wizard.ComboBox1DrawItem(canvas, 0, {2, 18, 200, 34});
  wizard.ComboBox1DrawItem(canvas, 1, {2, 34, 200, 50});
  EXPECT_EQ(canvas.calls, (std::vector<std::string>{
                              "fill 2,18-200,34", "unchecked 3,18-16,34", "text 18,18 Dorrow_Laser",
                              "fill 2,34-200,50", "checked 3,34-16,50", "text 18,34 Pellam_Ink"}));
  // The empty selection field is only filled.
  canvas.calls.clear();
  wizard.ComboBox1DrawItem(canvas, -1, {0, 0, 100, 16});
  EXPECT_EQ(canvas.calls, std::vector<std::string>{"fill 0,0-100,16"});
}

TEST_F(ConfigureUnitTest, TicksFollowTheEntryCount) {
  List({"Dorrow_Laser", "Pellam_Ink"});
  TForm4& wizard = Open();
  wizard.ComboBox1.Select(1);
  wizard.ComboBox1.SetItems({"Dorrow_Laser", "Pellam_Ink", "Office Laser 2"});
  RecordingCanvas canvas;
  wizard.ComboBox1DrawItem(canvas, 2, {0, 32, 100, 48});
  EXPECT_EQ(wizard.Ticked, (std::vector<bool>{false, true, false}));
  wizard.ComboBox1.SetItems({"Dorrow_Laser"});
  wizard.ComboBox1.SetItemIndex(0);
  wizard.ComboBox1.Select(0);
  EXPECT_EQ(wizard.Ticked, std::vector<bool>{true});
}

TEST_F(ConfigureUnitTest, ABaseFolderOfFewerThanTwoCharactersIsRefused) {
  List({"Dorrow_Laser"});
  for (const char* base : {"", "   ", "H", " H ", "\xC3\x84"}) {  // the last: one character, Ä
    SCOPED_TRACE(std::string("'") + base + "'");
    TForm4& wizard = Open();
    Observe(wizard.Edit1);
    wizard.Edit1.SetText(base);
    wizard.btnOK.Click();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"Base hot folder is required."});
    EXPECT_EQ(observer.focused, std::vector<std::string>{"Edit1"});
    EXPECT_EQ(wizard.Page(), 1);
    EXPECT_FALSE(wizard.Memo1.Visible());
    EXPECT_TRUE(wizard.Edit1.Visible());
    EXPECT_EQ(wizard.btnOK.Caption(), "&Next >");
    EXPECT_EQ(wizard.ModalResult, TModalResult::mrNone);
    dialogs.Clear();
    observer.focused.clear();
    wizard.Edit1.SetObserver(nullptr);
  }
  // Two characters are enough.
  TForm4& wizard = Open();
  wizard.Edit1.SetText("\xC3\x84:");
  wizard.btnOK.Click();
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(wizard.Page(), 2);
}

TEST_F(ConfigureUnitTest, NextShowsTheSummaryPageAndBackTheFirstPageWithTicksAndFolderKept) {
  List({"Dorrow_Laser", "Pellam_Ink", "Office Laser 2"});
  TForm4& wizard = Open();
  Observe(wizard.btnCancel);
  wizard.Edit1.SetText("H:\\Hot");
  wizard.ComboBox1.Select(2);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    wizard.btnOK.Click();
    EXPECT_EQ(wizard.Page(), 2);
    EXPECT_EQ(wizard.btnOK.Tag, 1);
    const std::vector<Control*> page_one = {
        &wizard.Label1, &wizard.Label2, &wizard.Label3,    &wizard.Label4, &wizard.Label5,
        &wizard.Label6, &wizard.Label7, &wizard.ComboBox1, &wizard.Edit1,  &wizard.btnBrowse};
    for (Control* control : page_one) EXPECT_FALSE(control->Visible()) << control->Name();
    EXPECT_TRUE(wizard.Memo1.Visible());
    EXPECT_EQ(wizard.Memo1.Bounds().Top, 20);
    EXPECT_EQ(wizard.Memo1.Bounds().Width, 546);
    EXPECT_EQ(wizard.Memo1.Bounds().Height, 320);
    EXPECT_EQ(wizard.btnOK.Caption(), "< &Back");
    EXPECT_EQ(wizard.btnCancel.Caption(), "OK");
    EXPECT_EQ(wizard.btnCancel.ModalResult, TModalResult::mrOk);
    EXPECT_EQ(observer.focused, std::vector<std::string>(round + 1, "btnCancel"));

    wizard.btnOK.Click();
    EXPECT_EQ(wizard.Page(), 1);
    EXPECT_EQ(wizard.btnOK.Tag, 0);
    EXPECT_TRUE(wizard.Edit1.Visible());
    EXPECT_TRUE(wizard.ComboBox1.Visible());
    EXPECT_TRUE(wizard.Label7.Visible());
    EXPECT_FALSE(wizard.Memo1.Visible());
    EXPECT_EQ(wizard.btnOK.Caption(), "&Next >");
    EXPECT_EQ(wizard.btnCancel.Caption(), "Cancel");
    EXPECT_EQ(wizard.btnCancel.ModalResult, TModalResult::mrCancel);
    EXPECT_EQ(wizard.Edit1.Text(), "H:\\Hot");
    EXPECT_EQ(wizard.Ticked, (std::vector<bool>{false, false, true}));
  }
  EXPECT_EQ(wizard.ModalResult, TModalResult::mrNone);
  EXPECT_TRUE(dialogs.Messages().empty());
}

TEST_F(ConfigureUnitTest, SummaryTellsHowManyAssociationsThereAre) {
  List({"Dorrow_Laser", "Pellam_Ink", "Office Laser 2"});
  TForm4& wizard = Open();
  wizard.Edit1.SetText("H:\\Hot\\");
  wizard.btnOK.Click();
  EXPECT_EQ(wizard.Memo1.Lines(),
            (std::vector<std::string>{
                "No association between printer and hot folder is established. Please make sure "
                "that you have added tick before printer in the printer list. Click Back button "
                "to try again.",
                ""}));

  wizard.btnOK.Click();
  wizard.ComboBox1.Select(1);
  wizard.btnOK.Click();
  EXPECT_EQ(wizard.Memo1.Lines(),
            (std::vector<std::string>{
                "Only one association between printer and hot folder has been established", "",
                "H:\\Hot\\Pellam_Ink ==> Pellam_Ink"}));

  // Every ticked printer in list order, whatever the order of ticking.
  wizard.btnOK.Click();
  wizard.ComboBox1.Select(2);
  wizard.ComboBox1.Select(0);
  wizard.btnOK.Click();
  EXPECT_EQ(wizard.Memo1.Lines(),
            (std::vector<std::string>{
                "The following associations between printer and hot folder have been established",
                "", "H:\\Hot\\Dorrow_Laser ==> Dorrow_Laser", "H:\\Hot\\Pellam_Ink ==> Pellam_Ink",
                "H:\\Hot\\Office Laser 2 ==> Office Laser 2"}));
  EXPECT_EQ(wizard.Memo1.Text(),
            "The following associations between printer and hot folder have been established\r\n"
            "\r\nH:\\Hot\\Dorrow_Laser ==> Dorrow_Laser\r\nH:\\Hot\\Pellam_Ink ==> Pellam_Ink\r\n"
            "H:\\Hot\\Office Laser 2 ==> Office Laser 2");
}

TEST_F(ConfigureUnitTest, BrowseStartsInTheTypedFolderAndPutsTheChoiceIntoTheBox) {
  temp.WriteFile("Base\\keep.txt", "");
  temp.WriteFile("Chosen\\keep.txt", "");
  folders.current_directory = temp.Path();
  List({"Dorrow_Laser"});
  TForm4& wizard = Open();
  wizard.Edit1.SetText(" " + temp.Win("Base") + " ");
  folders.AnswerFolder(temp.Win("Chosen"));
  wizard.btnBrowse.Click();
  ASSERT_EQ(folders.requests.size(), 1u);
  EXPECT_EQ(folders.requests[0].prompt, "Please choose a base folder");
  EXPECT_EQ(folders.window.selected, std::vector<std::string>{temp.Win("Base")});
  EXPECT_EQ(folders.window.texts, std::vector<std::string>{"Choose Folder"});
  EXPECT_EQ(wizard.Edit1.Text(), temp.Win("Chosen"));
  EXPECT_EQ(wizard.Label7.Caption().substr(0, temp.Win("Chosen").size()), temp.Win("Chosen"));

  // A box naming no folder: the picker starts at its last choice; a cancel keeps the box.
  wizard.Edit1.SetText("Z:\\Nowhere");
  wizard.btnBrowse.Click();
  EXPECT_EQ(folders.window.selected, std::vector<std::string>{temp.Win("Chosen")});
  EXPECT_EQ(wizard.Edit1.Text(), "Z:\\Nowhere");
  EXPECT_EQ(folders.freed, folders.issued);
}

TEST_F(ConfigureUnitTest, WithoutPrintersTheLabelsKeepTheirTokensAndOkAppliesNothing) {
  printers.Add("Varnell");
  TForm1& form = Create();
  ASSERT_EQ(form.Config.SlotCount(), 0);
  dialogs.OnWizard = [&](TForm4& wizard) {
    EXPECT_TRUE(wizard.ComboBox1.Items().empty());
    EXPECT_EQ(wizard.ComboBox1.ItemIndex(), -1);
    EXPECT_EQ(wizard.Label4.Caption(), TForm4::kLabel4Text);
    EXPECT_NE(wizard.Label4.Caption().find("\\DEFGHIJKLMNOPQ is printed on the ABCABC printer."),
              std::string::npos);
    wizard.Edit1.SetText("H:\\Hot");
    wizard.ComboBox1.Select(0);  // nothing to pick
    EXPECT_EQ(wizard.Label7.Caption(),
              "Add a tick before the printer name to enable the association between the hot "
              "folder and the printer.");
    wizard.btnOK.Click();
    EXPECT_EQ(wizard.Memo1.Lines().size(), 2u);
    wizard.btnCancel.Click();
    return wizard.ModalResult;
  };
  form.btnWizard.Click();
  ASSERT_EQ(dialogs.WizardPrinters().size(), 1u);
  const TRec untouched;
  EXPECT_EQ(form.Config.Slots[1].InputFolder, untouched.InputFolder);
  EXPECT_EQ(form.edtInputFolder.Text(), "");
  EXPECT_FALSE(form.cbDeleteAFP.Checked());
}

// The operator's work in the wizard: a base folder, the printers picked, Next and OK.
auto TickAndFinish(std::string base, std::vector<int> picks) {
  return [base, picks](TForm4& wizard) {
    wizard.Edit1.SetText(base);
    for (int pick : picks) wizard.ComboBox1.Select(pick);
    wizard.btnOK.Click();
    wizard.btnCancel.Click();
    return wizard.ModalResult;
  };
}

TEST_F(ConfigureUnitTest, OkConfiguresTheTickedPrintersAndTheMainWindowShowsTheSelectedOne) {
  List({"Dorrow_Laser", "Pellam_Ink", "Office Laser 2"});
  TForm1& form = Create();
  form.Config.Slots[2].InputFolder = "C:\\Kept";
  form.Config.Slots[2].QueueDepth = 5;
  dialogs.OnWizard = TickAndFinish("H:\\Hot\\", {0, 2});
  form.btnWizard.Click();
  for (int n : {1, 3}) {
    SCOPED_TRACE(n);
    const TRec& slot = form.Config.Slots[n];
    const std::string folder = "H:\\Hot\\" + slot.PrinterName;
    EXPECT_TRUE(slot.EnableIPDSEmulation);
    EXPECT_EQ(slot.InputFolder, folder);
    EXPECT_EQ(slot.DoneFolder, folder + "\\Completed Jobs");
    EXPECT_TRUE(slot.DeleteInputFileWhenDone);
    EXPECT_EQ(slot.QueueDepth, 2);
  }
  const TRec& kept = form.Config.Slots[2];
  EXPECT_FALSE(kept.EnableIPDSEmulation);
  EXPECT_EQ(kept.InputFolder, "C:\\Kept");
  EXPECT_EQ(kept.QueueDepth, 5);
  // The selected printer's slot shown again: delete checked, the done folder box disabled.
  EXPECT_TRUE(form.cbEnableEmulation.Checked());
  EXPECT_EQ(form.edtInputFolder.Text(), "H:\\Hot\\Dorrow_Laser");
  EXPECT_EQ(form.edtDoneFolder.Text(), "H:\\Hot\\Dorrow_Laser\\Completed Jobs");
  EXPECT_TRUE(form.cbDeleteAFP.Checked());
  EXPECT_FALSE(form.edtDoneFolder.Enabled());
  EXPECT_FALSE(form.Label3.Enabled());
  EXPECT_EQ(form.edtQueueDepth.Text(), "2");
  form.cmbPrinter.Select(2);
  EXPECT_EQ(form.edtDoneFolder.Text(), "H:\\Hot\\Office Laser 2\\Completed Jobs");
  EXPECT_TRUE(dialogs.Messages().empty());

  // No folder is made: the server makes missing input folders when it starts.
  dialogs.OnWizard = TickAndFinish(temp.Win("Base"), {1});
  form.btnWizard.Click();
  EXPECT_EQ(form.Config.Slots[2].InputFolder, temp.Win("Base\\Pellam_Ink"));
  EXPECT_FALSE(temp.Exists("Base"));
}

TEST_F(ConfigureUnitTest, CancelOrOkWithoutTicksOrClosingAppliesNothing) {
  List({"Dorrow_Laser", "Pellam_Ink"});
  TForm1& form = Create();
  const std::vector<std::function<TModalResult(TForm4&)>> endings = {
      TickAndFinish("H:\\Hot", {}),  // OK with no tick
      [](TForm4& wizard) {           // Cancel on the first page
        wizard.Edit1.SetText("H:\\Hot");
        wizard.ComboBox1.Select(1);
        wizard.btnCancel.Click();
        return wizard.ModalResult;
      },
      [](TForm4& wizard) {  // closed by its frame on the summary page
        wizard.Edit1.SetText("H:\\Hot");
        wizard.ComboBox1.Select(0);
        wizard.btnOK.Click();
        return TModalResult::mrCancel;
      },
  };
  for (const auto& ending : endings) {
    dialogs.OnWizard = ending;
    form.btnWizard.Click();
  }
  EXPECT_EQ(dialogs.WizardPrinters().size(), endings.size());
  for (int n = 1; n <= 2; ++n) {
    EXPECT_FALSE(form.Config.Slots[n].EnableIPDSEmulation);
    EXPECT_EQ(form.Config.Slots[n].InputFolder, "");
    EXPECT_FALSE(form.Config.Slots[n].DeleteInputFileWhenDone);
  }
  EXPECT_FALSE(form.cbDeleteAFP.Checked());
}

TEST_F(ConfigureUnitTest, TicksAndBaseFolderOfOneUseAreGoneAtTheNext) {
  List({"Dorrow_Laser", "Pellam_Ink"});
  TForm1& form = Create();
  dialogs.OnWizard = TickAndFinish("H:\\Hot", {1});
  form.btnWizard.Click();
  dialogs.OnWizard = [](TForm4& wizard) {
    EXPECT_EQ(wizard.Edit1.Text(), "");
    EXPECT_EQ(wizard.Ticked, std::vector<bool>(2, false));
    EXPECT_EQ(wizard.Page(), 1);
    return TModalResult::mrCancel;
  };
  form.btnWizard.Click();
  EXPECT_EQ(dialogs.WizardPrinters().size(), 2u);
}

// Printer names the wizard maps to one folder: the main window shows them without a box, and
// Start refuses to serve both from one folder.
TEST_F(ConfigureUnitTest, PrintersGivenOneFolderAreRefusedAtStart) {
  List({"Dorrow_Laser", "a/b", "a\\b"});
  TForm1& form = Create();
  dialogs.OnWizard = TickAndFinish("H:\\Hot", {1, 2});
  form.btnWizard.Click();
  // The wizard sets both without the main window's check.
  EXPECT_EQ(form.Config.Slots[2].InputFolder, "H:\\Hot\\a_b");
  EXPECT_EQ(form.Config.Slots[3].InputFolder, "H:\\Hot\\a_b");
  EXPECT_TRUE(dialogs.Messages().empty());

  form.cmbPrinter.Select(2);
  EXPECT_TRUE(dialogs.Messages().empty());
  EXPECT_EQ(form.edtInputFolder.Text(), "H:\\Hot\\a_b");
  EXPECT_EQ(form.Config.Slots[3].InputFolder, "H:\\Hot\\a_b");
  EXPECT_EQ(form.Config.Slots[3].DoneFolder, "H:\\Hot\\a_b\\Completed Jobs");

  form.btnStartClick();
  EXPECT_FALSE(form.Server.Running());
  EXPECT_EQ(dialogs.Messages(),
            std::vector<std::string>{"The input folder H:\\Hot\\a_b is given to both a/b and "
                                     "a\\b.\r\nGive each printer an input folder of its own."});
}

}  // namespace
}  // namespace corvale
