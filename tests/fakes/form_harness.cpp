// The main window over fakes.
#include "tests/fakes/form_harness.h"

namespace corvale::testing {

FormHarness::~FormHarness() {
  DestroyForm();
}

TForm1& FormHarness::Create() {
  form_ = std::make_unique<TForm1>(platform);
  form_->FormCreate();
  return *form_;
}

void FormHarness::DestroyForm() {
  if (form_) EndRunners(form_->Server);
  form_.reset();
}

void FormHarness::ConfigureSlot(int n, const std::string& input, const std::string& done,
                                int32_t depth, bool delete_when_done) {
  TRec& slot = form_->Config.Slots[n];
  slot.EnableIPDSEmulation = true;
  slot.InputFolder = input.empty() ? std::string() : temp.Win(input);
  slot.DoneFolder = done.empty() ? std::string() : temp.Win(done);
  slot.QueueDepth = depth;
  slot.DeleteInputFileWhenDone = delete_when_done;
  form_->Server.ApplySettings(form_->Config);
}

}  // namespace corvale::testing
