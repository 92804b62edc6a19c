// The fixture of the dispatch tests: two printers, two slots served, and dispatch passes run
// on a main thread of their own so that the test's thread ends each print utility when it
// chooses.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "tests/fakes/fake_platform.h"

namespace corvale::testing {

class DispatchTest : public ::testing::Test, protected ServerHarness {
 protected:
  DispatchTest() {
    printers.Add("Dorrow_Laser", "Dorrow PCL", "IP_10.0.0.5");
    printers.Add("Pellam_Ink", "Pellam Ink Driver", "USB001");
    printers.SetDefault("Dorrow_Laser");
  }

  ~DispatchTest() override {
    // A failed assertion may leave the pass waiting for its utility.
    if (main_.joinable()) {
      shell.FinishAll();
      main_.join();
    }
  }

  void SetUp() override {
    Create();
    ConfigureSlot(1, "In1", "Done1", 3);
    ConfigureSlot(2, "In2", "Done2", 1);
    Start();
    ASSERT_TRUE(Server().Running());
  }

  // Drops a file into slot n's input folder and scans it.
  void Drop(int n, const std::string& name, int age_seconds = 0) {
    temp.WriteFile("In" + std::to_string(n) + "\\" + name, name, age_seconds);
    Server().ScanInputFolder(settings.Slots[n].InputFolder);
  }

  std::string JobFile(int n, const std::string& name) {
    return temp.Win("JobStore\\" + PrinterKeyName(settings.Printers[n - 1]) + "\\" + name);
  }

  // Runs one dispatch tick on a main thread of its own, so that the test's thread can end each
  // print utility process when it chooses.
  void StartPass() {
    pass_ended_ = std::promise<void>();
    main_ = std::thread([this, ended = &pass_ended_] {
      Server().DispatchTick();
      ended->set_value();
    });
  }
  void EndPass() {
    const bool ended =
        pass_ended_.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    EXPECT_TRUE(ended) << "the dispatch pass still waits for a print utility";
    if (!ended) shell.FinishAll();
    main_.join();
    WaitForRunnersIdle();
  }
  // Waits for the start of print utility `index` and ends it.
  void FinishLaunch(size_t index) {
    ASSERT_TRUE(shell.WaitForLaunches(index + 1));
    shell.Finish(index);
  }

  // A pass on the test's own thread, every utility ending at once with `exit_code`; then the
  // posted status.
  void RunPassToEnd(uint32_t exit_code = 0) {
    shell.SetAutoFinish(true, exit_code);
    Server().DispatchTick();
    WaitForRunnersIdle();
    loop.RunPosted();
  }

  std::thread main_;
  std::promise<void> pass_ended_;
};

}  // namespace corvale::testing
