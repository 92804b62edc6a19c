// The main window over the fakes of every platform interface, its dialogs and folder picker
// included. Test fixtures derive from it beside ::testing::Test.
#pragma once

#include <memory>
#include <string>

#include "corvale/ui/server_main_unit.h"
#include "tests/fakes/fake_dialogs.h"
#include "tests/fakes/fake_folder_browser.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_service_manager.h"

namespace corvale::testing {

class FormHarness : public FakePlatform {
 public:
  FormHarness() = default;
  ~FormHarness() override;

  // Creates the main window and runs its start-up.
  TForm1& Create();
  TForm1& Form() { return *form_; }
  void DestroyForm();

  // Enables slot n of the window's settings with folders below the temp folder (empty text: no
  // folder), and puts them in force.
  void ConfigureSlot(int n, const std::string& input, const std::string& done, int32_t depth,
                     bool delete_when_done = false);
  void WaitForRunnersIdle() { FakePlatform::WaitForRunnersIdle(form_->Server); }

  FakeDialogs dialogs;
  FakeFolderBrowser folders;
  FakeServiceManager services;
  CorvalePlatform platform{server_platform, dialogs, folders, services};

 protected:
  PrintServer* ServerOrNull() const override { return form_ ? &form_->Server : nullptr; }

 private:
  std::unique_ptr<TForm1> form_;
};

}  // namespace corvale::testing
